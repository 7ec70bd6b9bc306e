#pragma once
// Hands the port's transcript to both recorders of --log and -v.

#include "serial/Transcript.h"

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

} // namespace norva::tools
