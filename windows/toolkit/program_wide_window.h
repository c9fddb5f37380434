#pragma once

#include <QObject>

#include <functional>
#include <memory>

// The one instance of a window for the whole run. Referring to it loads it,
// hidden, when it is not loaded; once the user has closed it, it is unloaded
// and the next reference loads it afresh from its layout.
template <class W>
class ProgramWideWindow {
public:
    ProgramWideWindow() = default;
    ProgramWideWindow(const ProgramWideWindow &) = delete;
    ProgramWideWindow &operator=(const ProgramWideWindow &) = delete;

    W &get()
    {
        if (!window_) {
            window_ = std::make_unique<W>();
            if (prepare_)
                prepare_(*window_);
            // A closed window is let go at once, so a reference made before
            // its deletion has run already gets a fresh one.
            QObject::connect(window_.get(), &W::closed, window_.get(), [this] {
                window_.release()->deleteLater();
            });
        }
        return *window_;
    }

    bool isLoaded() const { return window_ != nullptr; }

    // Runs on the window loaded now, if any, and on each one loaded later:
    // for what the layout does not hold, such as a context menu.
    void whenLoaded(std::function<void(W &)> prepare)
    {
        prepare_ = std::move(prepare);
        if (window_ && prepare_)
            prepare_(*window_);
    }

private:
    std::unique_ptr<W> window_;
    std::function<void(W &)> prepare_;
};
