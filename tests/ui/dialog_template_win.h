// Reads an extended dialog template (DLGTEMPLATEEX) from the program's resources as it is
// stored, so that tests see the template's own styles and dialog units, before any control
// adjusts its style at creation.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct TemplateItem {
    uint32_t ex_style = 0;
    uint32_t style = 0;
    int x = 0, y = 0, width = 0, height = 0;
    int32_t id = 0;
    std::wstring class_name; // predefined classes by name: "button", "edit", "static", ...
    std::wstring text;
};

struct DialogTemplate {
    uint32_t style = 0;
    uint32_t ex_style = 0;
    int x = 0, y = 0, width = 0, height = 0;
    std::wstring caption;
    int point_size = 0;
    int weight = 0;
    int italic = 0;
    int charset = 0;
    std::wstring typeface;
    std::vector<TemplateItem> items;
};

// False when the resource is missing or is not an extended template.
bool read_dialog_template(int resource_id, DialogTemplate& out);
