#pragma once

#include <QObject>

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
            // A closed window is let go at once, so a reference made before
            // its deletion has run already gets a fresh one.
            QObject::connect(window_.get(), &W::closed, window_.get(), [this] {
                window_.release()->deleteLater();
            });
        }
        return *window_;
    }

    bool isLoaded() const { return window_ != nullptr; }

private:
    std::unique_ptr<W> window_;
};
