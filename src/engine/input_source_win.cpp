#include "engine/input_source_win.h"

#include <cstring>
#include <vector>

#include "engine/control_ids.h"
#include "engine/input_path_win.h"
#include "text/text_encoding.h"

namespace {

// Room for 4095 characters and the terminator, the most a field is read to.
const int field_buffer = 4096;

// UTF-8 takes at most 3 bytes per UTF-16 unit: 4095 units fit with room to spare.
const int32_t scratch_size = 16384;

std::wstring field_text(HWND window, int id)
{
    std::vector<wchar_t> buffer(field_buffer);
    const UINT length = GetDlgItemTextW(window, id, buffer.data(), field_buffer);
    return std::wstring(buffer.data(), length);
}

} // namespace

HandleHolder::HandleHolder(const HandleHolder& other)
    : handle_(other.handle_), no_handle_(other.no_handle_), count_ref_(other.count_ref_),
      close_(other.close_), close_kind_(other.close_kind_)
{
    if (count_ref_ != nullptr)
        ++*count_ref_;
}

HandleHolder& HandleHolder::operator=(const HandleHolder& other)
{
    if (this == &other)
        return *this;
    if (other.count_ref_ != nullptr)
        ++*other.count_ref_; // first: other may share this holder's count
    reset();
    handle_ = other.handle_;
    no_handle_ = other.no_handle_;
    count_ref_ = other.count_ref_;
    close_ = other.close_;
    close_kind_ = other.close_kind_;
    return *this;
}

HandleHolder::~HandleHolder() { reset(); }

void HandleHolder::take(HANDLE handle)
{
    reset();
    if (handle == INVALID_HANDLE_VALUE)
        return;
    count_ref_ = new int32_t(1);
    handle_ = handle;
    no_handle_ = INVALID_HANDLE_VALUE;
    close_ = CloseHandle;
    close_kind_ = system_call;
}

void HandleHolder::reset()
{
    const HANDLE handle = handle_;
    int32_t* const count_ref = count_ref_;
    const auto close = close_;
    handle_ = nullptr;
    no_handle_ = nullptr;
    count_ref_ = nullptr;
    close_ = nullptr;
    close_kind_ = 0;
    if (count_ref != nullptr && --*count_ref == 0) {
        delete count_ref;
        close(handle);
    }
}

InputSelection read_input_selection(HWND window)
{
    InputSelection selection;
    selection.file_chosen = IsDlgButtonChecked(window, IDC_FILE_OPTION) == BST_CHECKED;
    selection.text_chosen = IsDlgButtonChecked(window, IDC_TEXT_OPTION) == BST_CHECKED;
    if (selection.file_chosen)
        selection.path = field_text(window, IDC_PATH);
    if (selection.text_chosen)
        selection.text = field_text(window, IDC_TEXT);
    return selection;
}

InputSource::InputSource(HWND window) : InputSource(read_input_selection(window)) {}

InputSource::InputSource(const InputSelection& selection)
{
    if (selection.file_chosen)
        open_file(selection.path);
    if (selection.text_chosen)
        take_text(selection.text);
}

InputSource::InputSource(const HandleHolder& file, uint64_t total) : file_(file), total_(total)
{
    stamped_ = file_.is_open() && stamp_of(file_.get(), &opened_);
}

InputSource::~InputSource()
{
    text_.reset();
    file_.reset();
}

// Only a file on disk is an input: a console, a pipe or a device may block a read forever or
// has no size. A file whose size is unknown cannot be read for the right number of bytes: it
// counts as not opened, like a folder.
void InputSource::open_file(const std::wstring& field)
{
    const std::wstring name = path_to_open(field);
    if (name.empty())
        return;
    file_.take(CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_.is_open())
        return;
    LARGE_INTEGER size;
    if (GetFileType(file_.get()) != FILE_TYPE_DISK || !stamp_of(file_.get(), &opened_) ||
        !GetFileSizeEx(file_.get(), &size) || size.QuadPart < 0) {
        file_.reset();
        return;
    }
    total_ = static_cast<uint64_t>(size.QuadPart);
    opened_name_ = name;
    stamped_ = true;
}

// False for what is not a plain file (a folder, a device without file information).
bool InputSource::stamp_of(HANDLE file, FileStamp* stamp,
                           BOOL(WINAPI* information)(HANDLE, LPBY_HANDLE_FILE_INFORMATION))
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!information(file, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return false;
    stamp->volume = info.dwVolumeSerialNumber;
    stamp->index = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    stamp->size = (uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    stamp->written =
        (uint64_t(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime;
    return true;
}

bool InputSource::known_identity(const FileStamp& stamp)
{
    return stamp.index != 0 && stamp.index != ~uint64_t(0);
}

// Writers are refused while the file is open here, but not those that the sharing does not
// reach (another machine through a share, a program outside Windows' rules). The bytes read
// are not the file's when its size or time moved, or when its name leads to another file now.
// Only what is proven counts: a correct digest must not be reported as a failure because a
// file system cannot tell a file's identity or refuses a second look.
bool InputSource::unchanged_since_open() const
{
    FileStamp now;
    if (stamp_of(file_.get(), &now, checks_.information) &&
        (now.size != opened_.size || now.written != opened_.written))
        return false;
    if (opened_name_.empty() || !known_identity(opened_))
        return true;
    // Attributes only: this open neither needs nor disturbs the sharing of the reading handle.
    HandleHolder again;
    again.take(checks_.open(opened_name_.c_str(), FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!again.is_open()) {
        // A name that finds nothing is a file removed; a refused open proves nothing.
        const DWORD error = GetLastError();
        return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
    }
    FileStamp named;
    if (!stamp_of(again.get(), &named, checks_.information) || !known_identity(named))
        return true;
    return named.volume == opened_.volume && named.index == opened_.index;
}

void InputSource::take_text(const std::wstring& text)
{
    const std::wstring units = text.substr(0, max_text_units);
    std::vector<uint8_t> scratch(scratch_size);
    convert_text(scratch.data(), units.c_str(), scratch_size, TextEncoding::Utf8,
                 TextEncoding::Utf16Le);
    const size_t length = std::strlen(reinterpret_cast<const char*>(scratch.data()));
    text_.assign_array(static_cast<int32_t>(length));
    if (length > 0) {
        std::memcpy(text_.get(), scratch.data(), length);
        total_ = length;
    }
}

bool InputSource::has_data() const { return file_.is_open() || !text_.empty(); }

uint32_t InputSource::read_chunk(void* destination)
{
    if (failed_)
        return 0;
    if (position_ >= total_) {
        if (stamped_ && !end_checked_ && file_.is_open()) {
            end_checked_ = true;
            failed_ = !unchanged_since_open();
        }
        return 0;
    }
    const uint64_t left = total_ - position_;
    const uint32_t length = left < CHUNK_SIZE ? static_cast<uint32_t>(left) : CHUNK_SIZE;
    auto* out = static_cast<uint8_t*>(destination);
    uint32_t delivered = length;
    // The text wins over a file (only both options checked at once, which the window never
    // does, has both); the text's bytes are what would end up in the destination anyway.
    if (text_.length() > 0) {
        const int32_t start = text_.index();
        text_.set_index(start + static_cast<int32_t>(position_));
        const uint8_t* from = text_.get();
        text_.set_index(start);
        std::memcpy(out, from, length);
    } else {
        delivered = read_file(out, length);
        failed_ = delivered < length;
    }
    position_ += delivered;
    return delivered;
}

// ReadFile until length bytes have come; a failed call or an early end of file stops it.
uint32_t InputSource::read_file(uint8_t* destination, uint32_t length)
{
    uint32_t done = 0;
    while (done < length) {
        DWORD got = 0;
        if (!ReadFile(file_.get(), destination + done, length - done, &got, nullptr) || got == 0)
            break;
        done += got;
    }
    return done;
}
