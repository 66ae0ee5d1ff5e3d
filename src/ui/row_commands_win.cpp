#include "ui/row_commands_win.h"

#include <cwchar>

#include "engine/job_protocol.h"
#include "ui/status_line_win.h"

namespace {

const wchar_t* message_text(ResultCode code) { return result_message(static_cast<int32_t>(code)); }

// A movable, zero-filled block holding text and its terminator; null on failure.
HGLOBAL make_text_block(const wchar_t* text, size_t length)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 2 * length + 2);
    if (block == nullptr)
        return nullptr;
    void* data = GlobalLock(block);
    if (data == nullptr) {
        GlobalFree(block);
        return nullptr;
    }
    wmemcpy(static_cast<wchar_t*>(data), text, length + 1);
    GlobalUnlock(block);
    return block;
}

// True when the clipboard took the block (it then owns it).
bool put_on_clipboard(HWND owner, HGLOBAL block)
{
    if (!OpenClipboard(owner))
        return false;
    bool placed = EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, block) != nullptr;
    CloseClipboard();
    return placed;
}

} // namespace

int copy_row_text(HWND dialog, int result_id)
{
    wchar_t text[row_field_limit + 1] = {};
    GetDlgItemTextW(dialog, result_id, text, row_field_limit + 1);
    HGLOBAL block = make_text_block(text, wcslen(text));
    bool copied = block != nullptr && put_on_clipboard(dialog, block);
    if (block != nullptr && !copied)
        GlobalFree(block);
    if (copied)
        show_status(dialog, status_information, message_text(ResultCode::Copied));
    else
        show_status(dialog, status_error, message_text(ResultCode::CopyFailed));
    return copied ? 0 : 1;
}

void copy_result_to_verify(HWND dialog, int result_id, int verify_id)
{
    wchar_t text[row_field_limit + 1] = {};
    GetDlgItemTextW(dialog, result_id, text, row_field_limit + 1);
    SetDlgItemTextW(dialog, verify_id, text);
}

int compare_row_texts(HWND dialog, int result_id, int verify_id)
{
    wchar_t result[row_field_limit + 1] = {};
    wchar_t expected[row_field_limit + 1] = {};
    GetDlgItemTextW(dialog, result_id, result, row_field_limit + 1);
    GetDlgItemTextW(dialog, verify_id, expected, row_field_limit + 1);
    if (result[0] == L'\0' || expected[0] == L'\0') {
        show_status(dialog, status_warning, message_text(ResultCode::NothingToVerify));
        return -1;
    }
    if (_wcsicmp(result, expected) != 0) {
        show_status(dialog, status_error, message_text(ResultCode::Mismatch));
        return 1;
    }
    show_status(dialog, status_information, message_text(ResultCode::Match));
    return 0;
}

bool run_row_command(HWND dialog, int command_id)
{
    for (const HashSlot* slot = SlotControls; slot->combo != 0; ++slot) {
        if (command_id == slot->copy_button) {
            copy_row_text(dialog, slot->result);
            return true;
        }
        if (command_id == slot->down_button) {
            copy_result_to_verify(dialog, slot->result, slot->verify);
            return true;
        }
        if (command_id == slot->verify_button) {
            compare_row_texts(dialog, slot->result, slot->verify);
            return true;
        }
    }
    return false;
}

void clear_results(HWND dialog, int row)
{
    for (int index = 0; index < slot_count; ++index)
        if (row < 0 || row == index)
            SetDlgItemTextW(dialog, SlotControls[index].result, L"");
}
