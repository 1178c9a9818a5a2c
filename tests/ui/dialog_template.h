// Reads an extended dialog template from the test program's own resources.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct TemplateItem {
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;
    int id;
    std::string className;  // upper case; the predefined ordinals are given their names
    std::string text;       // "#<n>" for a resource ordinal
};

struct DialogTemplate {
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;
    std::string menu;
    std::string className;
    std::string caption;
    int pointSize;
    int weight;
    int italic;
    int charset;
    std::string face;
    std::vector<TemplateItem> items;
};

// False when the resource is missing or is not an extended template.
bool ReadDialogTemplate(int templateId, DialogTemplate* out);
