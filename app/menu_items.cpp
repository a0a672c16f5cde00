#include "app/menu_items.h"

#include <FL/Fl_Menu_.H>

#include <string>

int addLiteralItem(Fl_Menu_* menu, const char* text)
{
    std::string escaped;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == '/' || *p == '\\' || *p == '_') escaped += '\\';
        escaped += *p;
    }
    return menu->add(escaped.c_str(), 0, nullptr, nullptr, 0);
}
