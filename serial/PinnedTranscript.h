#pragma once
// Several ports talking at once into one transcript, each from its own
// threads: every event is told with the port it belongs to, under one lock
// the ports share, so that no line is put down to another port.

#include "serial/Transcript.h"

#include <mutex>
#include <string>

namespace norva {

class PortPinnedTranscript : public ITranscript {
public:
    PortPinnedTranscript(ITranscript* to, std::mutex* lock) : m_to(to), m_lock(lock) {}
    void OnOpen(const std::string& path, const std::string& settings) override {
        std::lock_guard<std::mutex> guard(*m_lock);
        m_path = path;
        m_to->OnOpen(path, settings);
    }
    void OnOpenFailed(const std::string& path, const std::string& reason) override {
        std::lock_guard<std::mutex> guard(*m_lock);
        m_path = path;
        m_to->OnOpenFailed(path, reason);
    }
    void OnClose(const std::string& path) override {
        std::lock_guard<std::mutex> guard(*m_lock);
        m_to->OnActivePort(path);
        m_to->OnClose(path);
    }
    void OnHangUp(const std::string& reason) override {
        Forward([&] { m_to->OnHangUp(reason); });
    }
    void OnSent(const uint8_t* data, size_t length) override {
        Forward([&] { m_to->OnSent(data, length); });
    }
    void OnSendStopped(size_t sent, size_t length) override {
        Forward([&] { m_to->OnSendStopped(sent, length); });
    }
    void OnReceived(const uint8_t* data, size_t length) override {
        Forward([&] { m_to->OnReceived(data, length); });
    }

private:
    template <typename Event> void Forward(Event event) {
        std::lock_guard<std::mutex> guard(*m_lock);
        m_to->OnActivePort(m_path);
        event();
    }

    ITranscript* m_to;
    std::mutex* m_lock;
    std::string m_path; // under *m_lock
};

} // namespace norva
