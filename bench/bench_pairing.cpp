// The wizard's own time for a whole default pairing against norva-sim: the
// sum, over the steps, of the time from each Next or Connect press to the
// next step, against the floor the module's own times and the fixed pauses
// on that path set. Offscreen; message boxes are answered at once.
//
//   bench_pairing [--runs N] [--old-step-seven]
//
// --old-step-seven sends the mode command into the live link at step 7 (the
// link state unknown), so that the apply times out, is checked, hung up and
// run again: the path every pairing took before step 7 hung up first.

#include "module/Catalogue.h"
#include "module/ModuleControl.h"
#include "pages/Connection.h"
#include "pages/MessageService.h"
#include "pages/Mode.h"
#include "pages/ModeSuccess.h"
#include "pages/Scan.h"
#include "pages/ScanWait.h"
#include "pages/Search.h"
#include "pages/Success.h"
#include "sim/Simulator.h"
#include "wizard/SerialSheet.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace norva;
namespace cat = catalogue;

class SilentMessages : public CMessageService {
public:
    void Show(const QString& text, const QString&) override {
        std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
        ++count;
    }
    int count = 0;
};

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        QThread::usleep(200);
    }
    return true;
}

struct Run {
    std::vector<double> stepMs;
    bool ok = false;
};

Run PairOnce(bool oldStepSeven, const sim::SimTiming& timing) {
    Run run;
    sim::SimOptions options;
    options.timing = timing;
    sim::Simulator simulator(options);
    std::string error;
    if (!simulator.Start(&error)) {
        std::fprintf(stderr, "norva-sim: %s\n", error.c_str());
        return run;
    }
    setenv("NORVAWIZARD_COM201", simulator.DevicePath(1).c_str(), 1);
    setenv("NORVAWIZARD_COM202", simulator.DevicePath(2).c_str(), 1);
    CSerialSheet sheet(QStringLiteral("Configuration"));
    sheet.SetWizardMode();
    sheet.OnInitDialog();
    sheet.m_unit1Setting.m_nPort = 201;
    sheet.m_unit2Setting.m_nPort = 202;

    QElapsedTimer timer;
    auto step = [&](const std::function<void()>& press, CPropertyPage* next) {
        timer.start();
        press();
        const bool reached = PumpUntil([&] { return sheet.GetActivePage() == next; }, 60000);
        run.stepMs.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        return reached;
    };
    auto next = [&] { sheet.PressNext(); };
    CConnection* connection = sheet.ConnectionPage();
    bool ok = step(next, sheet.ScanPage()) && step(next, sheet.ScanWaitPage()) &&
              step(next, sheet.SearchPage());
    if (ok) {
        // Next on step 4 shows step 5 at once; the time is the search's.
        timer.start();
        sheet.PressNext();
        ok = PumpUntil([&] { return connection->m_bSearching == 0; }, 60000);
        run.stepMs.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    if (ok) {
        connection->m_editAddress->setText(QString::fromStdString(simulator.Snapshot(1).address));
        ok = step([&] { QTimer::singleShot(0, connection->m_btnConnect, &QPushButton::click); },
                  sheet.SuccessPage());
    }
    ok = ok && step(next, sheet.ModePage());
    if (ok && oldStepSeven) {
        sheet.Module()->SetLinkState(LINK_STANDBY);
    }
    ok = ok && step(next, sheet.Mode1Page()) && step(next, sheet.ModeSuccessPage());
    run.ok = ok && simulator.GetVerdict().wouldAutoConnect;
    simulator.Stop();
    return run;
}

// The pauses the path cannot avoid, and the module's own times.
double FloorMs(const sim::SimTiming& timing) {
    const double job = cat::kJobPauseMs;
    const double status = job + cat::kBannerPauseMs + cat::kQueryPauseMs;
    // Each apply reads the status back before it reports.
    const double apply = job + cat::kBannerPauseMs + cat::kQueryPauseMs;
    return status                      // step 1: check unit 1
           + job                       // step 2: scan
           + status                    // step 3: check unit 2
           + job + timing.inquiryMs    // step 5: the search
           + job + timing.connectMs    // step 5: connect
           + job + cat::kEscapePauseMs // step 7: escape and hang up
           + apply                     //         store unit 2
           + status + apply;           // step 8: check and store unit 1
}

} // namespace

int main(int argc, char** argv) {
    int runs = 5;
    bool oldStepSeven = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--old-step-seven") == 0) {
            oldStepSeven = true;
        } else {
            std::fprintf(stderr, "usage: bench_pairing [--runs N] [--old-step-seven]\n");
            return 2;
        }
    }
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    SilentMessages messages;
    SetMessageService(&messages);
    const sim::SimTiming timing;
    const char* names[] = {"1 check",   "2 scan", "3 check", "5 search",
                           "5 connect", "6 next", "7 apply", "8 apply"};
    std::vector<double> sums(8, 0.0);
    double totalSum = 0;
    int good = 0;
    for (int r = 0; r < runs; ++r) {
        const Run run = PairOnce(oldStepSeven, timing);
        if (!run.ok || run.stepMs.size() != sums.size()) {
            std::fprintf(stderr, "run %d did not pair\n", r + 1);
            continue;
        }
        double total = 0;
        for (size_t i = 0; i < sums.size(); ++i) {
            sums[i] += run.stepMs[i];
            total += run.stepMs[i];
        }
        totalSum += total;
        ++good;
        std::printf("run %d: %.0f ms\n", r + 1, total);
    }
    if (good == 0) {
        return 1;
    }
    std::printf("%s path, mean of %d runs:\n", oldStepSeven ? "old step-7" : "current", good);
    for (size_t i = 0; i < sums.size(); ++i) {
        std::printf("  step %-10s %8.0f ms\n", names[i], sums[i] / good);
    }
    const double floor = FloorMs(timing);
    std::printf(
        "  wizard's own time %8.0f ms\n  floor             %8.0f ms\n  ratio             %8.2f\n",
        totalSum / good, floor, totalSum / good / floor);
    SetMessageService(nullptr);
    return 0;
}
