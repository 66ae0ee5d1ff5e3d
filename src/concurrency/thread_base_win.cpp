#include "concurrency/thread_base_win.h"

int32_t clamp_thread_priority(int32_t priority)
{
    return priority > 15 ? 15 : priority < -15 ? -15 : priority;
}

void Runnable::set_system_callback(SystemCallback function, void* user_value)
{
    callback_ = reinterpret_cast<void (*)()>(function);
    user_value_ = user_value;
    kind_ = system;
}

void Runnable::set_callback(Callback function, void* user_value)
{
    callback_ = reinterpret_cast<void (*)()>(function);
    user_value_ = user_value;
    kind_ = plain;
}

int32_t Runnable::dispatch()
{
    // Without a callback every kind means run(). The kind itself is left alone, because a
    // group's threads dispatch at the same time.
    if (callback_ == nullptr)
        return run();
    switch (kind_) {
    case run_body:
        return run();
    case system_legacy:
    case system:
        return static_cast<int32_t>(reinterpret_cast<SystemCallback>(callback_)(user_value_));
    case plain:
        return reinterpret_cast<Callback>(callback_)(user_value_);
    default:
        return -1;
    }
}
