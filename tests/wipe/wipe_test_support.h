// Recorders and a call-counting platform wrapper for the wipe tests.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/sinks.h"
#include "platform/kernel_services.h"
#include "support/recorders.h"

namespace orm::test {

// Every wipe-log line starts with this stamp and three blanks.
inline constexpr const char* kStamp = "08.12.2026 01:02:03";

// The wipe log's clock stands at 01:02:03.
class FixedRegional : public testing::FixedRegional {
  public:
    FixedRegional() : testing::FixedRegional(CivilTime{2026, 12, 8, 1, 2, 3}) {}
};

using testing::ShownBox;

// The window as the wipe sees it. Every sink call is also appended to `events` (shared with a
// RecordingServices, when one is given the same vector) so tests can check the order of things.
class WindowRecorder : public LineSink,
                       public ProgressSink,
                       public MessagePump,
                       public MessageBoxes,
                       public BusySink {
  public:
    explicit WindowRecorder(std::vector<std::string>& events) : m_events(events) {}

    void Line(const std::string& text) override {
        lines.push_back(text);
        m_events.push_back("line " + text);
    }
    void SetPosition(int percent) override {
        progress.push_back(percent);
        m_events.push_back("progress " + std::to_string(percent));
    }
    bool Pump() override {
        ++pumps;
        m_events.push_back("pump");
        return onPump ? onPump(pumps) : true;
    }
    void Show(const std::string& text, const std::string& caption, BoxIcon icon) override {
        boxes.push_back({text, caption, icon});
        m_events.push_back("box " + caption);
    }
    bool Confirm(const std::string& text, const std::string& caption) override {
        confirms.push_back({text, caption, BoxIcon::Question});
        m_events.push_back("confirm");
        return confirmAnswer;
    }
    void SetControlsEnabled(bool enabled) override {
        busy.push_back(enabled);
        m_events.push_back(enabled ? "enabled" : "disabled");
    }

    std::vector<std::string> lines;
    std::vector<int> progress;
    std::vector<ShownBox> boxes;
    std::vector<ShownBox> confirms;
    std::vector<bool> busy;
    int pumps = 0;
    bool confirmAnswer = true;
    // Runs inside each pump with its 1-based number; its answer is the pump's.
    std::function<bool(int)> onPump;

  private:
    std::vector<std::string>& m_events;
};

// Passes every call to another platform; notes positioning, writes and flushes in `events`, and
// can make the first few positionings at an offset fail (a drive that recovers).
class RecordingServices : public KernelServices {
  public:
    RecordingServices(KernelServices& inner, std::vector<std::string>& events)
        : m_inner(inner), m_events(events) {}

    std::map<std::int64_t, int> seekFailuresLeft;  // offset -> failures still to give

    Handle Open(const std::string& path, std::uint32_t access, std::uint32_t share, std::uint32_t disposition,
                std::uint32_t flags) override {
        return m_inner.Open(path, access, share, disposition, flags);
    }
    bool Close(Handle h) override {
        m_events.push_back("close");
        return m_inner.Close(h);
    }
    std::uint32_t LastError() override { return m_lastError ? m_lastError : m_inner.LastError(); }
    bool Control(Handle h, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                 std::uint32_t outSize, std::uint32_t* returned) override {
        return m_inner.Control(h, code, in, inSize, out, outSize, returned);
    }
    bool Seek(Handle h, std::int64_t offset, std::int64_t* newPosition) override {
        m_events.push_back("seek " + std::to_string(offset));
        m_lastError = 0;
        if (auto it = seekFailuresLeft.find(offset); it != seekFailuresLeft.end() && it->second > 0) {
            --it->second;
            m_lastError = 25;  // ERROR_SEEK
            return false;
        }
        return m_inner.Seek(h, offset, newPosition);
    }
    bool Write(Handle h, const void* buffer, std::uint32_t size, std::uint32_t* written) override {
        m_events.push_back("write " + std::to_string(size));
        m_lastError = 0;
        return m_inner.Write(h, buffer, size, written);
    }
    bool Flush(Handle h) override {
        m_events.push_back("flush");
        m_lastError = 0;
        return m_inner.Flush(h);
    }
    std::string ErrorText(std::uint32_t code) override { return m_inner.ErrorText(code); }
    std::string DrivePath(unsigned n) override { return m_inner.DrivePath(n); }
    bool Counter(std::int64_t* value) override { return m_inner.Counter(value); }
    bool Frequency(std::int64_t* value) override { return m_inner.Frequency(value); }
    std::uint32_t StartTimer(std::uint32_t periodMs, TimerProc proc, void* user) override {
        return m_inner.StartTimer(periodMs, proc, user);
    }
    bool StopTimer(std::uint32_t id) override { return m_inner.StopTimer(id); }
    void Sleep(std::uint32_t ms) override { m_inner.Sleep(ms); }
    int PlatformId() override { return m_inner.PlatformId(); }
    std::string SetupLibraryName() override { return m_inner.SetupLibraryName(); }
    const std::vector<std::string>& SetupLibrarySlots() override { return m_inner.SetupLibrarySlots(); }
    void* LoadLib(const std::string& name) override { return m_inner.LoadLib(name); }
    void* FindSymbol(void* module, const std::string& name) override {
        return m_inner.FindSymbol(module, name);
    }
    bool FreeLib(void* module) override { return m_inner.FreeLib(module); }
    bool OpenWebAddress(const std::string& address) override { return m_inner.OpenWebAddress(address); }

  private:
    KernelServices& m_inner;
    std::vector<std::string>& m_events;
    std::uint32_t m_lastError = 0;
};

}  // namespace orm::test
