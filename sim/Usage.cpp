// norva-sim --help.
#include "sim/CommandLine.h"

namespace norva::sim {

std::string UsageText() {
    return R"(Usage:
  norva-sim [options] [-- command [arguments...]]
  norva-sim verdict|power-cycle|status|quit|attach N --control SOCKET
  norva-sim unplug N|replug N|power N on|off --control SOCKET
  norva-sim pair P REQUEST --control SOCKET
  norva-sim --help|--version

Simulates two Norva-BX Bluetooth serial modules, each on a pseudo-terminal, and prints
the device paths and the NORVAWIZARD_COM<n>=<path> lines a wizard or tool needs.
With "-- command", runs the command with those variables exported and stops when it
ends, exiting with its status.

Port options:
  --pairs K             simulate K independent pairs (1-16); pair P has units 2P-1
                        and 2P: COM(2P-1) and COM(2P) (one port: COM P), addresses
                        00A0961B2C<2P-1>/<2P> in hex, names Norva-BX<2P-1>/<2P>,
                        links unit<2P-1>, unit<2P> (one port: com<P>), trace FILE.P
  --one-port            one pty (COM1) for both units; unit 1 is attached first
  --follow              one port, switched automatically: after unit 1 accepts
                        AT+BTSCAN the next open finds unit 2; after unit 2 accepts
                        AT+UARTCONFIG the next open finds unit 1 (implies --one-port)
  --no-line-check       answer whatever baud rate and stop bits the computer uses
  --start-paired        configured earlier: unit 1 in mode 2 remembering unit 2, unit 2
                        in mode 1 remembering unit 1, each with its --uart; not linked
  --link-dir DIR        keep a link per port in DIR (unit1, unit2; one port: com1)
                        that follows the port across replugs; COM lines name the links
  --trace FILE          write a JSON-lines trace of all bytes and events to FILE
  --control SOCKET      accept control requests on this unix socket
  --inquiry-ms MS       whole inquiry (default 1500)
  --connect-ms MS       ATD: from OK to CONNECT (default 300)
  --connect-fail-ms MS  ATD: from OK to ERROR when nobody answers (default 2000)
  --restart-ms MS       ATZ: restart time before OK (default 150)
  --escape-guard-ms MS  "+++" without CR counts after this much silence (default 500)

Unit options (as written they apply to both units of every pair; prefix with
--unit1- or --unit2- for one unit, for example --unit2-old-firmware or
--unit1-chunk 3:20; --address and --name only without --pairs):
  --old-firmware        6-field status line; 4-argument AT+UARTCONFIG gives ERROR
  --responses-off       start with S10=0: no OK/ERROR lines (see --s10-off-hides)
  --start-pending       start discoverable and connectable (as after AT+BTSCAN,3,0)
  --start-connected     start linked with the other unit, both in data mode
  --start-mode N        start in operation mode N (0-3)
  --silent              hear and answer nothing, also after power off and on
  --start-off           start unpowered (see "power N on")
  --no-scan-reply       swallow AT+BTSCAN: no answer and no scan; all else answers
  --keep-mode           answer AT+BTMODE with OK but keep the mode it had
  --keep-flow           answer AT+UARTCONFIG with OK but keep the flow control it had
  --refuse-uart         answer every AT+UARTCONFIG with ERROR, storing nothing
  --later-rates         AT+UARTCONFIG also stores 460800 and 921600, as a later module may
  --chunk N:MS          send replies in pieces of N bytes, MS milliseconds apart
  --echo                send each command line back unframed before its reply
  --echo-form FORM      echo as line ("AT\r", the form of --echo), no-cr ("AT"), crlf
                        ("AT\r\n") or typed (each byte as it comes); none: no echo
  --noise               lone CR/LF before reply lines, unframed junk after results
  --neighbours K        an inquiry also finds K other devices (the first one has a
                        comma in its name)
  --reply-delay MS      wait MS milliseconds before each reply
  --line-gap MS         wait MS milliseconds between the lines of one reply (status
                        or value line and its OK, the OK of ATH and DISCONNECT)
  --address HEX12       the unit's address (default 00A0961B2C01 / 00A0961B2C02)
  --name TEXT           the unit's name (default Norva-BX01 / Norva-BX02)
  --uart B,P,S[,F]      stored UART setting, e.g. 115200,E,2,0 (default 9600,N,1,1)
  --flags F5,F6         the fifth and sixth status fields (default 0,0)

Module choices (unit options too; where a real module may do either, the first
value is the default):
  --status-mode stored|in-force
                        the status line shows a stored operation mode at once, or
                        only once a restart has put it in force
  --status-flow stored|in-force
                        the same for the status line's flow-control field
  --uart-applies restart|at-once
                        a stored UART setting takes effect at the next restart, or
                        right after its OK (the computer must then reopen at it)
  --connect-reply with-address|bare
                        "CONNECT <peer>" or "CONNECT", after ATD and at an
                        automatic link
  --auto-link-announce yes|no
                        whether a link made by itself at a restart is announced
  --hangup-idle ok|error
                        ATH without a link is answered OK or ERROR
  --idle-word STANDBY|IDLE
                        the status line's link word for an idle unit
  --boot-ms MS          the unit's restart time, deaf meanwhile, at ATZ and at power
                        on alike (default: ATZ takes --restart-ms, power on is
                        instant)
  --reset-reply after-restart|before-restart
                        ATZ's OK comes from the restarted unit at its new line
                        settings, or leaves first at the old ones, then the restart
  --mode-acts at-once|restart
                        a stored mode acts at once (an idle unit in mode 2 takes its
                        peer's call), or only once a restart has put it in force
  --after-scan-link standby|pending
                        a link made while scanning leaves the unit idle when it
                        ends, or scanning again until AT+BTCANCEL or a restart
  --escape-cr ignore|error
                        the CR after "+++" is swallowed, or taken as an empty
                        command line: ERROR right after the escape's OK
  --ato-reply ok|none   ATO is answered OK (ERROR without a link), or not at all
  --s10-off-hides ok-error|all-results
                        with S10=0 no OK and ERROR lines, or no CONNECT and
                        DISCONNECT lines either
  --paging-ms MS        at a restart in mode 1, page the remembered peer for MS
                        milliseconds (PENDING) and link as soon as it answers
                        (default 0: link only when it answers at once)
  --page-restart yes|no whether a page that found nobody ends in a restart of the
                        unit's own, which pages again
  --module-profile NAME a named set of these choices, applied before the switches
                        themselves: default; strict (mode and flow control shown
                        only once in force, UART at the restart, bare CONNECT,
                        echo); at-once (UART in effect right after its OK);
                        real-slow (--boot-ms 2000, OK before the restart, mode
                        acts at the restart, scanning again after a link, ERROR
                        for the CR after +++, no reply to ATO, paging 20000 ms
                        with a restart after it)
  --random-profile SEED draw every choice above for each unit from SEED (the units
                        independently; faults never, S10=0 rarely), print them as
                        switches on standard error ("# profile: ..."); a named
                        profile and the switches override it

Control requests (on the socket, or typed on standard input when no command runs):
  verdict      each unit's stored mode, UART and remembered peer, and whether the
               pair would auto-connect after a power cycle (client exit status:
               0 paired, 3 not paired)
  power-cycle  restart both units; a paired couple connects
  attach N     one-port mode: the next open of the port finds unit N
  unplug N     pull unit N's adapter: its port hangs up and goes, the unit loses
               power (one-port mode: the port and the unit attached to it)
  replug N     plug it back: a fresh pty, the link re-pointed, the unit starts
  power N off  switch unit N off: silent, its link drops (the partner hears
               DISCONNECT)
  power N on   switch it on: it starts from its stored settings (a paired unit
               links by itself when its peer listens)
  status       state of both units and of the port
  quit         stop the simulator
  help         this list
  pair P REQUEST
               with --pairs: the request for pair P alone, its units numbered 1
               and 2 (pair 2 unplug 1); verdict, power-cycle and status without
               it cover every pair, attach, unplug, replug and power need it

Other options:
  -h, --help            show this help
  --version             show the version

Exit status: 0 success (a client: ok or paired), 1 the simulator failed or the
request was refused, 2 bad command line or no simulator answers on the socket,
3 not paired (verdict); with "-- command", the command's status (127 when it
cannot run); 128+N when stopped by signal N.
)";
}

} // namespace norva::sim
