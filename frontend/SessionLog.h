#pragma once
// The session's serial transcript, kept in memory from the moment the sheet
// creates its controller and written to a file only when the user asks (the
// "Save log..." button on step 9 and on every failure's box). The front end
// asks for the path; this writes it.

#include "serial/TranscriptBuffer.h"

#include <functional>
#include <string>

namespace norva {

class CModuleControl;

class SessionLog {
public:
    // Records `module`'s line from now on. The log must outlive its port.
    void Attach(CModuleControl& module);

    const CTranscriptBuffer& Buffer() const { return m_buffer; }
    // Where other lines of the session (Verify's own) are written.
    ITranscript* Transcript() { return &m_buffer; }
    // Text written after the transcript, asked for at each save.
    void SetTrailer(std::function<std::string()> trailer) { m_trailer = std::move(trailer); }

    // Writes the log to `path`, all or nothing: a full disk must not leave
    // half a log under the name. False with the system's reason otherwise.
    bool SaveTo(const std::string& path, std::string* reason) const;
    // "norvawizard-20261209-130512.log", local time now.
    static std::string SuggestedName();

private:
    CTranscriptBuffer m_buffer;
    std::function<std::string()> m_trailer;
};

} // namespace norva
