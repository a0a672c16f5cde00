#include "app/startup.h"

#include "app/menu_items.h"

#include <FL/Fl_Choice.H>

#include <cstdio>
#include <cstring>

void formatTitle(char (&title)[64], int versionCode, int versionRevision)
{
    std::snprintf(title, sizeof title, "T310 / T320 Update V%d.%d", versionCode / 100, versionCode % 100);
    if (versionRevision > 0) {
        char revision[16];
        std::snprintf(revision, sizeof revision, "r%d", versionRevision);
        std::strncat(title, revision, sizeof title - std::strlen(title) - 1);
    }
}

void fillFirmwareChoice(Fl_Choice* choice, const std::function<const char*(int index)>& description,
                        bool selectLast)
{
    int added = 0;
    for (const char* text = description(0); text != nullptr; text = description(++added)) {
        addLiteralItem(choice, text);
    }
    if (added == 0)
        choice->value(-1);
    else
        choice->value(selectLast ? added - 1 : 0);
}
