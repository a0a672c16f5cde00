#pragma once

#include <functional>

class Fl_Choice;

// The window title with the version of the embedded firmware, for example
// "T310 / T320 Update V3.46" or, with revision 2, "... V3.5r2".
void formatTitle(char (&title)[64], int versionCode, int versionRevision);

// Adds description(0), description(1), ... to the choice until one is null
// (the texts stay owned by whoever returned them), then selects the first
// item, or the last one when selectLast is set; nothing when none was added.
void fillFirmwareChoice(Fl_Choice* choice, const std::function<const char*(int index)>& description,
                        bool selectLast);
