// A window that exists once and is created on first reference: the first
// use after start, or after the window was unloaded, builds it afresh from
// its catalogue and loads it (its Load handler runs) before returning it.
#pragma once

#include <functional>
#include <memory>

#include "application.h"
#include "form.h"

namespace rt {

template <class T>
class FormSlot {
public:
    explicit FormSlot(std::function<std::unique_ptr<T>()> make) : make_(std::move(make)) {}
    ~FormSlot() = default;
    FormSlot(const FormSlot&) = delete;
    FormSlot& operator=(const FormSlot&) = delete;

    T& operator()() {
        if (!form_ || !form_->loaded()) {
            // An unloaded window may still have a handler on the stack; the
            // application keeps it until no handler runs.
            if (form_) form_->app().retire(std::move(form_));
            form_ = make_();
            form_->app().loadForm(*form_);
        }
        return *form_;
    }

    // The window if it is loaded, without creating it.
    T* ifLoaded() const { return form_ && form_->loaded() ? form_.get() : nullptr; }

private:
    std::function<std::unique_ptr<T>()> make_;
    std::unique_ptr<T> form_;
};

}  // namespace rt
