// Frame capture: while it is on, every tick of TimerScreenShots saves the
// card face's persistent image -- the card picture with the frame last
// painted into it -- as a bitmap file named by date and time. The capture
// folder must exist already; the program never creates it, so capture only
// writes files for an author who made the folder on purpose.
#include "capture.h"

#include <cstdio>

#include "app/module1.h"
#include "card_form.h"
#include "runtime/graphics/errors.h"
#include "runtime/save_picture.h"

namespace velmora {

std::string captureFileName(const std::string& appFolder, const rt::platform::LocalDateTime& date,
                            const rt::platform::LocalDateTime& time, char separator) {
    return appFolder + separator + "ScreenShots" + separator + "Velmora" + rt::Format(date, "mm-dd-yy") +
           "@" + rt::Format(time, "hh-mm-ss") + ".bmp";
}

void CardForm::TimerScreenShots_Timer() {
    const rt::PictureRef image = Picture1(0).Image();
    const auto date = rt::Date();
    const auto time = rt::Time();
    const std::string file = captureFileName(program_.AppFolder, date, time);
    // The file of this second already holds this very image.
    if (file == lastCaptureFile_ && lastCaptureImage_ && *lastCaptureImage_ == image->image()) return;
    try {
        rt::SavePicture(image, file);
    } catch (const rt::RuntimeError& error) {
        // A capture that cannot be written switches capture off and says why,
        // once; the show goes on.
        stopCapture();
        const std::string& reason = error.reason().empty() ? std::string(error.what()) : error.reason();
        std::fprintf(stderr, "velmora: frame capture switched off: cannot write %s: %s\n", file.c_str(),
                     reason.c_str());
        return;
    }
    lastCaptureFile_ = file;
    lastCaptureImage_ = image->image();
}

void CardForm::Command20_Click() {
    if (!TimerScreenShots.Enabled()) {
        TimerScreenShots.setEnabled(true);
        Command20.setBackColor(0x000000FF);  // red while capturing
    } else {
        stopCapture();
    }
}

void CardForm::stopCapture() {
    TimerScreenShots.setEnabled(false);
    Command20.setBackColor(0x00FFFFFF);
}

}  // namespace velmora
