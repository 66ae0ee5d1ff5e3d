#include "engine/hash_job_win.h"

#include <atomic>
#include <new>

#include "concurrency/serving_wait_win.h"
#include "digest/catalogue.h"
#include "engine/read_border_win.h"

namespace {

// A combo box text is read to at most 63 characters; every catalogue name is far shorter.
const int algorithm_name_size = 64;

// How often the stop sequence cancels the thread's I/O again while it waits: a read the
// thread began just after a cancellation is cancelled by the next.
const uint32_t cancel_interval_ms = 50;

InputSource* open_window_input(HWND window) { return new InputSource(window); }

uint32_t new_run_id()
{
    static std::atomic<uint32_t> last{0};
    uint32_t id = ++last;
    while (id == 0)
        id = ++last;
    return id;
}

} // namespace

HashJob::HashJob(HWND window, JobProgress* progress) : HashJob(window, progress, open_window_input)
{
}

HashJob::HashJob(HWND window, JobProgress* progress, SourceOpener open_source)
    : window_(window), progress_(progress), open_source_(open_source), run_id_(new_run_id()),
      window_gate_(1, 1)
{
}

HashJob::~HashJob()
{
    stop_thread(INFINITE, nullptr);
    stop(); // joins the ended thread and closes its handle; at once for an abandoned job
    read_buffer_.reset();
    for (smart_ptr<HashAlgorithm>& slot : slots_)
        slot.reset();
    source_.reset();
    pool_.reset();
    feed_.reset(); // after the pool: a running item tells the feed when it is done
}

HashJob::Ending HashJob::end(HashJob* job)
{
    Ending ending;
    if (job->stop_thread(end_wait_ms, &ending.completed)) {
        delete job;
        return ending;
    }
    // Given up before it is handed over: from the exchange on, the thread may delete the job.
    job->detach();
    if (job->fate_.exchange(abandoned) == ended) {
        delete job; // the body finished just now; the thread only returns from here on
        return ending;
    }
    ending.abandoned = true;
    return ending;
}

int32_t HashJob::thread_main()
{
    const int32_t code = Thread::thread_main();
    if (fate_.exchange(ended) == abandoned)
        delete this;
    return code;
}

// The stop goes up first, so that whatever the job does in the window from now on is its
// last change; the gate is taken next: the job is then out of the window for good. The wait
// serves the calls the job makes into the window meanwhile (prepare reads and clears the rows,
// InputSource reads the input panel, the end of a run sets the bar and the result fields).
bool HashJob::stop_thread(uint32_t milliseconds, bool* completed)
{
    request_stop();
    const HANDLE thread = native_handle();
    if (thread == nullptr)
        return true; // never started, joined, or abandoned: nothing of it uses the window
    const DWORD begin = GetTickCount();
    if (wait_serving_sent_messages(window_gate_.native_handle(), milliseconds))
        window_gate_.release_one();
    if (completed != nullptr)
        *completed = reported_;
    for (;;) {
        // A share's redirector and most drivers cancel a synchronous open or read on request.
        CancelSynchronousIo(thread);
        uint32_t slice = cancel_interval_ms;
        if (milliseconds != INFINITE) {
            const uint32_t spent = GetTickCount() - begin;
            if (spent >= milliseconds)
                return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
            slice = milliseconds - spent < slice ? milliseconds - spent : slice;
        }
        if (wait_serving_sent_messages(thread, slice))
            return true;
    }
}

bool HashJob::enter_window()
{
    window_gate_.wait(INFINITE);
    if (should_continue() != 0)
        return true;
    window_gate_.release_one();
    return false;
}

void HashJob::leave_window() { window_gate_.release_one(); }

uint32_t HashJob::worker_count(uint32_t processors, int32_t chosen_rows)
{
    uint32_t count = processors == 0 ? 1 : processors;
    if (chosen_rows >= 0 && static_cast<uint32_t>(chosen_rows) < count)
        count = static_cast<uint32_t>(chosen_rows);
    return count == 0 ? 1 : count;
}

int32_t HashJob::run()
{
    ResultCode code;
    try {
        code = prepare();
    } catch (const std::bad_alloc&) {
        code = ResultCode::WorkAreaFailed; // the buffer or the pool could not be had
    }
    if (code != ResultCode::Ok) {
        release_resources();
        if (should_continue() != 0)
            post(WM_JOB_FAILED, static_cast<WPARAM>(code));
        return 0;
    }
    // The total goes in before the message that makes the window read it.
    if (progress_ != nullptr && enter_window()) {
        progress_->set_total(source_->total());
        leave_window();
    }
    post(WM_PROGRESS_BEGIN);

    bool input_complete = true;
    if (should_continue() != 0) {
        try {
            input_complete = read_and_digest();
        } catch (const std::bad_alloc&) {
            input_complete = false; // a chunk's items could not be made: the digests are short
        }
    }
    // A stopped or failed run ends with the chunks the rows are on; a complete one digests the
    // chunks still waiting for their rows or for a worker too.
    if (!input_complete || should_continue() == 0) {
        feed_->drop_waiting();
        pool_->clear();
    }
    pool_->wait_idle(INFINITE); // every item handed out has run
    if (should_continue() != 0) {
        if (input_complete)
            report_digests();
        else
            post(WM_JOB_FAILED, static_cast<WPARAM>(ResultCode::Failed));
    }
    release_resources();
    post(WM_PROGRESS_END);
    return 0;
}

ResultCode HashJob::prepare()
{
    SYSTEM_INFO system = {};
    GetSystemInfo(&system);

    if (!enter_window())
        return ResultCode::Aborted;
    for (int row = 0; row < slot_count && SlotControls[row].combo != 0; ++row)
        SetDlgItemTextW(window_, SlotControls[row].result, L"");
    leave_window();

    int32_t chosen = 0;
    for (int row = 0; row < slot_count && SlotControls[row].combo != 0; ++row) {
        const HashSlot& slot = SlotControls[row];
        wchar_t name[algorithm_name_size] = {};
        GetDlgItemTextW(window_, slot.combo, name, algorithm_name_size);
        slots_[row].assign(create_algorithm(algorithm_id_from_name(name)));
        chosen += slots_[row].empty() ? 0 : 1;
    }
    if (chosen == 0)
        return ResultCode::NoAlgorithm;
    // An abort that came while the rows were read: the input, which may be slow to open, is
    // left alone.
    if (should_continue() == 0)
        return ResultCode::Aborted;

    source_.assign(open_source_(window_));
    if (source_.empty() || !source_->has_data())
        return ResultCode::NoInputData;

    read_buffer_.assign_array(READ_BUFFER_SIZE);
    pool_.assign(new WorkerPool(worker_count(system.dwNumberOfProcessors, chosen)));
    if (pool_->start() == 0)
        return ResultCode::WorkAreaFailed;
    HashAlgorithm* digests[slot_count] = {};
    for (int row = 0; row < slot_count; ++row)
        digests[row] = slots_[row].empty() ? nullptr : slots_[row].get();
    feed_.assign(new ChunkFeed(digests, pool_.get()));
    return ResultCode::Ok;
}

// The reader fills one half of the buffer while the rows digest the other. Each chunk is
// handed out as soon as it is read, to rows still busy with the chunk before too (they take it
// when they are done); then the reader waits until every row has finished that chunk before,
// which frees its half for the next read and is what its progress step reports.
bool HashJob::read_and_digest()
{
    uint8_t* chunk = read_buffer_.get();
    uint32_t previous = 0;
    uint64_t reads = 0;
    for (;;) {
        const int half = read_buffer_.index() == 0 ? 0 : 1;
        const uint32_t length = source_->read_chunk(chunk);
        at_read_border(*this, ++reads, length);
        if (source_->failed())
            return false;
        if (length == 0)
            return true;
        feed_->hand_out(half, chunk, length);
        if (reads > 1)
            feed_->wait_finished(1 - half);
        post(WM_PROGRESS_STEP, previous);
        const int32_t next = read_buffer_.index() + static_cast<int32_t>(InputSource::CHUNK_SIZE);
        read_buffer_.set_index(next == READ_BUFFER_SIZE ? 0 : next);
        chunk = read_buffer_.get();
        previous = length;
        if (should_continue() == 0)
            return true;
    }
}

// The digests are made first; then, in the window gate, the bar is filled and the rows are
// written. Each call into the window waits for the window's thread, which may be aborting the
// run meanwhile (it raises the stop first and serves these calls until it has the gate). An
// aborted run shows no digest: the stop signal is looked at before every write and before
// WM_JOB_DONE, and a stop seen there empties the rows written so far. Once WM_JOB_DONE is
// posted the run counts as complete, digests and all.
void HashJob::report_digests()
{
    wchar_t texts[slot_count][HashAlgorithm::max_digest_text] = {};
    for (int row = 0; row < slot_count; ++row) {
        if (slots_[row].empty())
            continue;
        slots_[row]->finish();
        slots_[row]->digest_text(texts[row], false);
    }
    if (!enter_window())
        return;
    if (progress_ != nullptr)
        progress_->complete_progress();
    for (int row = 0; row < slot_count; ++row) {
        if (slots_[row].empty())
            continue;
        if (should_continue() == 0)
            return clear_results(row);
        SetDlgItemTextW(window_, SlotControls[row].result, texts[row]);
    }
    if (should_continue() == 0)
        return clear_results(slot_count);
    post(WM_JOB_DONE);
    reported_ = true;
    leave_window();
}

// In the window gate, after a stop: empties the result fields of the rows before `end`, then
// leaves the gate.
void HashJob::clear_results(int end)
{
    for (int row = 0; row < end; ++row)
        if (!slots_[row].empty())
            SetDlgItemTextW(window_, SlotControls[row].result, L"");
    leave_window();
}

void HashJob::release_resources()
{
    pool_.reset(); // stops and joins the workers first: nothing reads the buffer after this
    feed_.reset(); // nor tells the feed anything
    source_.reset();
    read_buffer_.reset();
    for (smart_ptr<HashAlgorithm>& slot : slots_)
        slot.reset();
}

void HashJob::post(uint32_t message, WPARAM wparam)
{
    PostMessageW(window_, message, wparam, static_cast<LPARAM>(run_id_));
}
