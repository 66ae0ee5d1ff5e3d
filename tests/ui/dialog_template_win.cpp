#include "dialog_template_win.h"

#include <cstring>

namespace {

// A cursor over the template's 16-bit words.
class Reader {
public:
    explicit Reader(const uint8_t* data) : at_(data) {}

    uint16_t word()
    {
        uint16_t value;
        std::memcpy(&value, at_, 2);
        at_ += 2;
        return value;
    }
    uint32_t dword()
    {
        uint32_t low = word();
        return low | static_cast<uint32_t>(word()) << 16;
    }
    int16_t short_value() { return static_cast<int16_t>(word()); }
    std::wstring text()
    {
        std::wstring out;
        for (uint16_t c = word(); c != 0; c = word())
            out.push_back(static_cast<wchar_t>(c));
        return out;
    }
    // A name or an ordinal (0xFFFF then the number, given back as "#number").
    std::wstring name_or_ordinal()
    {
        uint16_t first = word();
        if (first == 0)
            return L"";
        if (first == 0xFFFF)
            return L"#" + std::to_wstring(word());
        std::wstring out(1, static_cast<wchar_t>(first));
        return out + text();
    }
    void skip(size_t bytes) { at_ += bytes; }
    void align_dword()
    {
        while (reinterpret_cast<uintptr_t>(at_) % 4 != 0)
            ++at_;
    }

private:
    const uint8_t* at_;
};

std::wstring predefined_class(const std::wstring& name)
{
    static const struct {
        const wchar_t* ordinal;
        const wchar_t* name;
    } classes[] = {{L"#128", L"button"},  {L"#129", L"edit"},      {L"#130", L"static"},
                   {L"#131", L"listbox"}, {L"#132", L"scrollbar"}, {L"#133", L"combobox"}};
    for (const auto& c : classes) {
        if (name == c.ordinal)
            return c.name;
    }
    return name;
}

TemplateItem read_item(Reader& in)
{
    in.align_dword();
    TemplateItem item;
    in.dword(); // help id
    item.ex_style = in.dword();
    item.style = in.dword();
    item.x = in.short_value();
    item.y = in.short_value();
    item.width = in.short_value();
    item.height = in.short_value();
    item.id = static_cast<int32_t>(in.dword());
    item.class_name = predefined_class(in.name_or_ordinal());
    item.text = in.name_or_ordinal();
    in.skip(in.word()); // creation data
    return item;
}

} // namespace

bool read_dialog_template(int resource_id, DialogTemplate& out)
{
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(resource_id), MAKEINTRESOURCEW(5));
    if (found == nullptr)
        return false;
    auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, found)));
    Reader in(data);
    if (in.word() != 1 || in.word() != 0xFFFF)
        return false;
    in.dword(); // help id
    out.ex_style = in.dword();
    out.style = in.dword();
    uint16_t count = in.word();
    out.x = in.short_value();
    out.y = in.short_value();
    out.width = in.short_value();
    out.height = in.short_value();
    in.name_or_ordinal(); // menu
    in.name_or_ordinal(); // window class
    out.caption = in.text();
    if (out.style & (DS_SETFONT | DS_SHELLFONT)) {
        out.point_size = in.word();
        out.weight = in.word();
        uint16_t italic_and_charset = in.word(); // two bytes: italic, then the character set
        out.italic = italic_and_charset & 0xFF;
        out.charset = italic_and_charset >> 8;
        out.typeface = in.text();
    }
    for (uint16_t i = 0; i < count; ++i)
        out.items.push_back(read_item(in));
    return true;
}
