// norva-sim: a pair of simulated Norva-BX modules, each reachable through a pseudo-terminal,
// so that the unchanged wizard and tools can open them like hardware.
//
// Deliberately independent of norva_core: the simulator plays the other side of the wire, and a
// shared bug would otherwise hide on both sides of it.
//
// How sim/ reports errors: a call that can fail returns false (or -1) and fills a
// `std::string* error` with why, in words for the person who ran norva-sim; main() prints it
// as "norva-sim: <why>" and exits non-zero (usage texts and codes: Usage.cpp).
#pragma once

#include <memory>
#include <string>

namespace norva::sim {

// The module's UART, as stored with "AT+UARTCONFIG" and put into effect by a restart.
struct UartSetting {
    int baud = 9600;
    char parity = 'N'; // 'N', 'E' or 'O'
    int stopBits = 1;  // 1 or 2
    bool flow = true;  // hardware flow control
};

bool operator==(const UartSetting& a, const UartSetting& b);
std::string DescribeUart(const UartSetting& uart); // "9600,N,1,HWFC"

enum class LinkState { Standby, Pending, Connected };
const char* LinkStateText(LinkState state); // "STANDBY", "PENDING", "CONNECT"

// Where a real module may behave either way and the computer's side must cope with both. Each
// first value is the simulator's long-standing choice and the default.
enum class StatusShows {
    Stored,  // the status line shows a setting as soon as it is stored
    InForce, // ... only once a restart has put it into force
};
enum class UartApplies {
    AtRestart, // a stored UART setting takes effect at the next restart
    AtOnce,    // ... right after the OK to AT+UARTCONFIG, which still leaves at the old one
};
enum class EchoForm {
    Line,  // "AT\r" once the command's CR has come
    NoCr,  // "AT": the command without its CR, so it runs into the reply's own CR LF
    CrLf,  // "AT\r\n"
    Typed, // every byte as it comes, CR and LF included
};
enum class ConnectReply {
    WithAddress, // "CONNECT <peer>"
    Bare,        // "CONNECT"
};
enum class HangupIdle {
    Ok,    // ATH without a link: OK
    Error, // ... ERROR
};
enum class IdleWord {
    Standby, // the status line's link word for an idle unit: "STANDBY"
    Idle,    // ... "IDLE"
};
enum class ResetReply {
    AfterRestart,  // ATZ's OK comes from the restarted unit, at its new line settings
    BeforeRestart, // ... leaves first, at the settings in force before, then the unit restarts
};
enum class ModeActs {
    AtOnce,    // a stored mode acts at once: an idle unit in mode 2 takes its peer's call
    AtRestart, // ... only the mode a restart put in force acts
};
enum class AfterScanLink {
    Standby, // a link made while scanning leaves the unit idle when it ends
    Pending, // ... scanning again, without time limit, until AT+BTCANCEL or a restart
};
enum class EscapeCr {
    Ignore, // the CR after "+++" is swallowed
    Error,  // ... is an empty command line, answered ERROR right after the escape's OK
};
enum class AtoReply {
    Ok,   // ATO: OK (ERROR without a link)
    None, // ... nothing at all
};
enum class S10OffHides {
    OkError,    // S10 = 0 hides OK and ERROR
    AllResults, // ... CONNECT and DISCONNECT too
};

// Initial state and injected faults of one unit.
struct UnitOptions {
    std::string address; // 12 hex digits; empty: the unit's default
    std::string name;    // empty: "Norva-BX01" / "Norva-BX02"
    UartSetting uart;    // stored and in effect at start
    int startMode = 0;   // operation mode 0-3
    bool flag5 = false;  // the fifth and sixth status fields
    bool flag6 = false;

    bool oldFirmware = false;    // 6-field status line; 4-argument UARTCONFIG answered with ERROR
    bool responsesOff = false;   // S10 = 0 at start: no OK/ERROR lines
    bool startPending = false;   // discoverable and connectable, no time limit
    bool startConnected = false; // linked with the other unit, in data mode (applies to both)
    bool silent = false;         // hears and says nothing, through power off and on as well
    bool startOff = false;       // unpowered until switched on
    bool noScanReply = false;    // "AT+BTSCAN" is swallowed: no answer and no scan
    bool keepMode = false;       // "AT+BTMODE" answered OK, the mode stays as it was
    bool keepFlow = false;       // "AT+UARTCONFIG" stores all but the flow-control argument
    bool refuseUart = false;     // every "AT+UARTCONFIG" answered with ERROR, nothing stored
    bool laterRates = false;     // "AT+UARTCONFIG" also stores 460800 and 921600
    int chunkBytes = 0;          // > 0: replies leave in pieces of this many bytes ...
    int chunkGapMs = 0;          // ... this far apart
    bool echo = false;           // each command line comes back unframed before its reply
    EchoForm echoForm = EchoForm::Line; // how, when echo is on
    bool noise = false;   // lone CR/LF before reply lines, unframed junk after results
    int neighbours = 0;   // other devices an inquiry finds; the first has a comma in its name
    int replyDelayMs = 0; // pause before each reply
    int lineGapMs = 0;    // pause between the lines of one reply (status or value line and OK)

    StatusShows statusMode = StatusShows::Stored; // the status line's MODE<n>
    StatusShows statusFlow = StatusShows::Stored; // the status line's HWFC / NoFC
    UartApplies uartApplies = UartApplies::AtRestart;
    ConnectReply connectReply = ConnectReply::WithAddress; // after ATD and at an automatic link
    bool announceAutoLink = true; // a link made by itself at a restart is announced with CONNECT
    HangupIdle hangupIdle = HangupIdle::Ok;
    IdleWord idleWord = IdleWord::Standby;
    // Restart time. -1: ATZ takes SimTiming::restartMs and a power on is instant; else every
    // restart (ATZ, power cycle, switch on, replug, a restart of its own) takes this long, deaf.
    int bootMs = -1;
    ResetReply resetReply = ResetReply::AfterRestart;
    ModeActs modeActs = ModeActs::AtOnce;
    AfterScanLink afterScanLink = AfterScanLink::Standby;
    EscapeCr escapeCr = EscapeCr::Ignore;
    AtoReply atoReply = AtoReply::Ok;
    S10OffHides s10OffHides = S10OffHides::OkError;
    // > 0: at a restart in mode 1 with a remembered peer, the unit pages it this long (PENDING)
    // and links as soon as the peer answers. 0: it links only when the peer answers at once.
    int pagingMs = 0;
    bool pageRestart = false; // a page that found nobody ends in a restart of its own (pages again)
};

// How long the radio takes. Short by default so that tests stay fast.
struct SimTiming {
    int inquiryMs = 1500;     // whole inquiry, results spread over it
    int connectMs = 300;      // "ATD": OK to CONNECT
    int connectFailMs = 2000; // "ATD": OK to ERROR when nobody answers
    int restartMs = 150;      // "ATZ": restart before the unit answers again
    int escapeGuardMs = 500;  // "+++" with no CR is taken after this much silence
};

struct SimOptions {
    bool onePort = false;          // one pty; the attached unit is switched
    bool follow = false;           // one port, switched automatically (implies onePort)
    bool checkLineSettings = true; // a unit hears nothing when baud/stop bits differ from its UART
    // Configured earlier: unit 1 in mode 2 remembering unit 2, unit 2 in mode 1 remembering unit
    // 1, with their stored UART, not linked yet.
    bool startPaired = false;
    // A symlink per port in this directory ("unit1", "unit2"; one port: "com1") that follows the
    // port across replugs, as /dev/serial/by-id does. Empty: none.
    std::string linkDir;
    std::string linkNames[2]; // the links' names instead of those; one port: linkNames[0] only
    UnitOptions unit[2];      // unit[0] is unit 1
    std::string tracePath;    // JSON-lines trace; empty: none
    SimTiming timing;
    // Learn of the computer's opens and closes through inotify. Off, the simulator polls the
    // master's hang-up state every 100 ms, the fall-back for systems without inotify.
    bool notifyOpens = true;
};

struct UnitVerdict {
    std::string address;
    std::string name;
    int mode = 0;
    UartSetting uart; // stored
    std::string peer; // remembered peer address; empty: none
    int peerUnit = 0; // 1 or 2 when the peer is the other simulated unit, else 0
};

struct Verdict {
    UnitVerdict unit[2];
    bool wouldAutoConnect = false;
    std::string Describe() const;
};

struct UnitSnapshot {
    std::string address;
    std::string name;
    int mode = 0;        // stored
    int modeInForce = 0; // the stored mode at the last restart: the one the unit works in
    LinkState link = LinkState::Standby;
    bool dataMode = false;
    bool restarting = false;
    int s10 = 1;
    int s24 = 10;
    UartSetting stored;
    UartSetting active; // the setting the unit listens at until its next restart
    std::string peer;
    bool flag5 = false;
    bool flag6 = false;
    int commands = 0;        // command lines handled
    std::string lastCommand; // the last one, without its CR
    int restarts = 0;
    bool powered = true; // off: switched off, or its adapter unplugged
    bool switchedOn = true;
    bool plugged = true;
};

class Simulator {
public:
    explicit Simulator(SimOptions options);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    bool Start(std::string* error);
    void Stop();

    // Unit 1 or 2. In one-port mode both return the one pty path. Empty while unplugged.
    std::string DevicePath(int unit) const;
    // The stable link to the unit's port (SimOptions::linkDir); empty without a link directory.
    // The link exists only while the port is plugged in.
    std::string LinkPath(int unit) const;

    // One-port mode: the unit that the next open of the port finds (at once when nobody has the
    // port open). Ignored in two-port mode.
    void Attach(int unit);
    int Attached() const;     // the unit on the line now
    int NextAttached() const; // the unit the next open finds

    // Whether the computer holds the unit's port open, as far as the simulator has noticed: a
    // test waits for this before it relies on an open or a close having been seen.
    bool PortOpen(int unit) const;

    Verdict GetVerdict() const;
    // Restarts both units: stored settings take effect and a paired couple connects.
    void PowerCycle();
    UnitSnapshot Snapshot(int unit) const;

    // Pulls the unit's adapter: its pty master closes (the computer's side sees a hang-up), its
    // link goes, and the unit is unpowered until Replug. Replug makes a fresh pty, re-points the
    // link and starts the unit from its stored settings. In one-port mode both act on the port
    // and the unit attached to it, whatever the argument. False when there was nothing to do.
    bool Unplug(int unit);
    bool Replug(int unit);
    // The unit's own power switch. Off: it hears and says nothing and its link drops (the partner
    // hears DISCONNECT). On: it starts from its stored settings, once its adapter is plugged in
    // too. False when the switch was already there.
    bool SetPower(int unit, bool on);

    const SimOptions& Options() const;

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace norva::sim
