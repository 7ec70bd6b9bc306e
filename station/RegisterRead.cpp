// The register's queries: the pair a unit is in, and the attempts listed.

#include "station/Register.h"
#include "station/RegisterSession.h"

namespace norva::station {
namespace {

using Rows = std::vector<std::vector<std::string>>;

// Every column read as text; NULL as empty text.
Rows QueryRows(soci::session& sql, const std::string& query, const std::vector<std::string>& params,
               size_t columns) {
    std::vector<std::string> bound(params);
    std::vector<std::string> values(columns);
    std::vector<soci::indicator> indicators(columns, soci::i_null);
    soci::statement st(sql);
    for (std::string& p : bound) {
        st.exchange(soci::use(p));
    }
    for (size_t i = 0; i < columns; ++i) {
        st.exchange(soci::into(values[i], indicators[i]));
    }
    st.alloc();
    st.prepare(query);
    st.define_and_bind();
    Rows rows;
    st.execute(false);
    while (st.fetch()) {
        std::vector<std::string> row(columns);
        for (size_t i = 0; i < columns; ++i) {
            row[i] = indicators[i] == soci::i_ok ? values[i] : std::string();
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string AttemptSelect(int version) {
    std::string query = "SELECT id";
    for (const std::string& column : AttemptColumns(version)) {
        query += ", " + column;
    }
    return query + " FROM attempts";
}

} // namespace

std::optional<PairHolding> Register::HoldingOf(const std::string& address, RegisterError& error) {
    std::lock_guard<std::mutex> lock(m_lock);
    try {
        const Rows rows = QueryRows(
            m_session->sql,
            "SELECT p.attempt_id, p.partner, a.ended_at, a.station, a.unit1_address,"
            " a.unit1_name, a.unit2_name, a.unit1_verified, a.unit2_verified"
            " FROM paired_units p JOIN attempts a ON a.id = p.attempt_id WHERE p.address = :a",
            {address}, 9);
        if (rows.empty()) {
            return std::nullopt;
        }
        const std::vector<std::string>& r = rows.front();
        PairHolding h;
        h.attemptId = std::stoll("0" + r[0]);
        h.address = address;
        h.partner = r[1];
        h.pairedAt = r[2];
        h.station = r[3];
        h.partnerName = r[4] == address ? r[6] : r[5];
        h.verified = r[7] == "1" && r[8] == "1";
        return h;
    } catch (const std::exception& e) {
        error = Explain(m_target, e);
        return std::nullopt;
    }
}

bool Register::List(const ListFilter& filter, std::vector<AttemptRecord>& out,
                    RegisterError& error) {
    std::string query = AttemptSelect(m_version);
    std::vector<std::string> params;
    std::string where;
    if (!filter.since.empty()) {
        where += " WHERE started_at >= :since";
        params.push_back(filter.since);
    }
    if (!filter.address.empty()) {
        where += where.empty() ? " WHERE" : " AND";
        where += " (unit1_address = :u1 OR unit2_address = :u2)";
        params.push_back(filter.address);
        params.push_back(filter.address);
    }
    std::lock_guard<std::mutex> lock(m_lock);
    try {
        const Rows rows = QueryRows(m_session->sql, query + where + " ORDER BY id", params,
                                    AttemptColumns(m_version).size() + 1);
        for (const std::vector<std::string>& row : rows) {
            out.push_back(AttemptFromValues(row));
        }
    } catch (const std::exception& e) {
        error = Explain(m_target, e);
        return false;
    }
    return true;
}

std::optional<AttemptRecord> Register::Find(int64_t id, RegisterError& error) {
    std::lock_guard<std::mutex> lock(m_lock);
    try {
        const Rows rows = QueryRows(m_session->sql, AttemptSelect(m_version) + " WHERE id = :id",
                                    {std::to_string(id)}, AttemptColumns(m_version).size() + 1);
        if (!rows.empty()) {
            return AttemptFromValues(rows.front());
        }
    } catch (const std::exception& e) {
        error = Explain(m_target, e);
    }
    return std::nullopt;
}

} // namespace norva::station
