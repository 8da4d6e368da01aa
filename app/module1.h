// Program start-up: the application folder and the two windows, each
// created on first reference.
#pragma once

#include <string>

#include "runtime/application.h"
#include "runtime/builtins.h"
#include "runtime/form_slot.h"
#include "runtime/platform/platform.h"

namespace velmora {

class CardForm;
class AboutForm;

// What the program's module holds for the whole run.
struct Program {
    explicit Program(rt::Application& app);
    ~Program();

    // The folder that holds the executable, without a trailing separator.
    // Written once by SubMain before any window exists.
    std::string AppFolder;
    rt::FormSlot<CardForm> Form1;   // the card window
    rt::FormSlot<AboutForm> Form2;  // the About window
};

// Removes one trailing path separator, if there is one: a drive's or the
// file system's root loses its separator, other folders have none.
std::string withoutTrailingSeparator(std::string folder, char separator = rt::kPathSeparator);

// Records the application folder, then shows the card window modelessly
// (creating and loading it first) and returns to the event loop.
void SubMain(Program& program);

// Runs the whole program on a platform; returns the process exit code.
int runVelmora(rt::platform::Platform& platform, rt::ApplicationOptions options = {});

}  // namespace velmora
