#pragma once
// Hands the port's transcript to both recorders of --log and -v; and keeps the
// lines of two ports read at once in one transcript each under its own port.

#include "serial/Transcript.h"

#include <mutex>
#include <string>
#include <vector>

namespace norva::tools {

class TranscriptTee : public ITranscript {
public:
    void Add(ITranscript* t) { m_sinks.push_back(t); }
    bool Empty() const { return m_sinks.empty(); }

    void OnOpen(const std::string& path, const std::string& settings) override {
        for (ITranscript* t : m_sinks) {
            t->OnOpen(path, settings);
        }
    }
    void OnOpenFailed(const std::string& path, const std::string& reason) override {
        for (ITranscript* t : m_sinks) {
            t->OnOpenFailed(path, reason);
        }
    }
    void OnClose(const std::string& path) override {
        for (ITranscript* t : m_sinks) {
            t->OnClose(path);
        }
    }
    void OnHangUp(const std::string& reason) override {
        for (ITranscript* t : m_sinks) {
            t->OnHangUp(reason);
        }
    }
    void OnSent(const uint8_t* data, size_t length) override {
        for (ITranscript* t : m_sinks) {
            t->OnSent(data, length);
        }
    }
    void OnSendStopped(size_t sent, size_t length) override {
        for (ITranscript* t : m_sinks) {
            t->OnSendStopped(sent, length);
        }
    }
    void OnReceived(const uint8_t* data, size_t length) override {
        for (ITranscript* t : m_sinks) {
            t->OnReceived(data, length);
        }
    }
    void OnActivePort(const std::string& path) override {
        for (ITranscript* t : m_sinks) {
            t->OnActivePort(path);
        }
    }

private:
    // Filled before the port opens, read only afterwards.
    std::vector<ITranscript*> m_sinks;
};

// One of several ports talking at once into one transcript: every event is
// told with its port, under `lock`, which those ports share.
class PortPinnedTranscript : public ITranscript {
public:
    PortPinnedTranscript(ITranscript* sink, std::mutex& lock) : m_sink(sink), m_lock(lock) {}

    void OnOpen(const std::string& path, const std::string& settings) override {
        const std::lock_guard<std::mutex> hold(m_lock);
        m_path = path;
        m_sink->OnOpen(path, settings);
    }
    void OnOpenFailed(const std::string& path, const std::string& reason) override {
        const std::lock_guard<std::mutex> hold(m_lock);
        m_path = path;
        m_sink->OnOpenFailed(path, reason);
    }
    void OnClose(const std::string& path) override {
        Pinned([&] { m_sink->OnClose(path); });
    }
    void OnHangUp(const std::string& reason) override {
        Pinned([&] { m_sink->OnHangUp(reason); });
    }
    void OnSent(const uint8_t* data, size_t length) override {
        Pinned([&] { m_sink->OnSent(data, length); });
    }
    void OnSendStopped(size_t sent, size_t length) override {
        Pinned([&] { m_sink->OnSendStopped(sent, length); });
    }
    void OnReceived(const uint8_t* data, size_t length) override {
        Pinned([&] { m_sink->OnReceived(data, length); });
    }

private:
    template <typename Tell> void Pinned(Tell tell) {
        const std::lock_guard<std::mutex> hold(m_lock);
        m_sink->OnActivePort(m_path);
        tell();
    }

    ITranscript* m_sink;
    std::mutex& m_lock;
    std::string m_path;
};

} // namespace norva::tools
