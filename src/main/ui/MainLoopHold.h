#pragma once
// A hold on the main loop, taken with frm_main::holdMainLoop(holder): the loop
// stays off while any hold lives, and the hold is released when the object
// goes (or earlier by release()), on every way out of the code that took it.
// Holds of one holder count once: the first release of that holder frees it.

#include <functional>
#include <utility>

class MainLoopHold
{
public:
    MainLoopHold() = default;
    explicit MainLoopHold(std::function<void()> release) : m_release(std::move(release)) {}
    MainLoopHold(MainLoopHold&& other) noexcept : m_release(std::exchange(other.m_release, {})) {}
    MainLoopHold& operator=(MainLoopHold&& other) noexcept
    {
        if (this != &other) {
            release();
            m_release = std::exchange(other.m_release, {});
        }
        return *this;
    }
    MainLoopHold(const MainLoopHold&) = delete;
    MainLoopHold& operator=(const MainLoopHold&) = delete;
    ~MainLoopHold() { release(); }

    bool held() const { return static_cast<bool>(m_release); }
    // Hands the hold on beyond this object: the window it was taken for now
    // holds the loop and releases it by its holder's name when it closes.
    void keep() noexcept { m_release = {}; }
    void release() noexcept
    {
        if (auto r = std::exchange(m_release, {})) {
            try {
                r();
            } catch (...) {
                // Not kit::guarded: this header is used below the kit, and a
                // release runs in destructors, where nothing may be thrown or logged twice.
            }
        }
    }

private:
    std::function<void()> m_release;
};
