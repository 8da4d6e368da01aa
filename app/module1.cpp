#include "module1.h"

#include "about/about_form.h"
#include "card/card_form.h"
#include "runtime/builtins.h"

namespace velmora {

Program::Program(rt::Application& app)
    : Form1([&app, this] { return std::make_unique<CardForm>(app, *this); }),
      Form2([&app] { return std::make_unique<AboutForm>(app); }) {}

Program::~Program() = default;

std::string withoutTrailingSeparator(std::string folder, char separator) {
    if (!folder.empty() && folder.back() == separator) folder.pop_back();
    return folder;
}

void SubMain(Program& program) {
    program.AppFolder = rt::AppPath();
    program.AppFolder = withoutTrailingSeparator(program.AppFolder);
    program.Form1().Show();
}

int runVelmora(rt::platform::Platform& platform, rt::ApplicationOptions options) {
    if (options.title.empty()) options.title = "Velmora";
    rt::Application app(platform, options);
    Program program(app);
    return app.run([&program] { SubMain(program); });
}

}  // namespace velmora
