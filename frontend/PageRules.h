#pragma once
// What each step's page does with the wizard's buttons and with its Next,
// written once for both front ends; the pages only carry it out.

#include <string>

namespace norva::pages {

// ButtonsOnArrival's answer for a page that leaves the buttons as they are.
inline constexpr int kLeaveButtons = -1;

// The wizard-button flags a page posts each time it becomes active.
// `gateTicked`: the page's gating box (steps 7 and 8) is ticked.
int ButtonsOnArrival(int step, bool gateTicked);
// The flags posted after a click on the page's box (steps 2, 4, 7 and 8).
int ButtonsOnBoxClick(int step, bool ticked);

// How a press of Next reaches the sheet.
enum class NextHandOff {
    Post,         // posted: handled after the press returns
    Send,         // sent: handled inside the press
    SheetDefault, // the sheet's own next page, no module work
    Stay,         // nothing: the sheet moves on by itself
};
struct NextRule {
    // Back and Next go off first, so that the sheet alone turns them on again.
    bool buttonsOff;
    NextHandOff handOff;
};
NextRule OnNext(int step);

// Step 4 asks for a fresh tick at every arrival.
bool ClearsBoxOnArrival(int step);

// Step 5: a row just found is chosen by itself when it is unit 1's and the
// user has chosen none yet.
bool ChooseFoundRow(const std::string& address, const std::string& unit1Address, bool anyChosen);

// Step 5's search animation: one step every 500 ms over 0 .. 49, never full.
inline constexpr int kSearchTimerId = 100;
inline constexpr int kSearchTimerMs = 500;
inline constexpr int kProgressRange = 50;
constexpr int NextProgress(int progress) {
    return progress + 1 >= kProgressRange ? 0 : progress + 1;
}

// Step 5's device list.
struct ListColumn {
    const char* heading;
    int width; // pixels
};
inline constexpr ListColumn kDeviceColumns[] = {
    {" Device Address ", 130}, {"       Device Name ", 165}, {"    CoD", 70}};

// The step captions of the pages, in step order.
inline constexpr const char* kStepCaptions[] = {
    "Norva-BX Wizard - Step 1 of 9", "Norva-BX Wizard - Step 2 of 9",
    "Norva-BX Wizard - Step 3 of 9", "Norva-BX Wizard - Step 4 of 9",
    "Norva-BX Wizard - Step 5 of 9", "Norva-BX Wizard - Step 6 of 9",
    "Norva-BX Wizard - Step 7 of 9", "Norva-BX Wizard - Step 8 of 9",
    "Norva-BX Wizard - Step 9 of 9"};

} // namespace norva::pages
