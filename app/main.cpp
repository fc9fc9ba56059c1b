#include "Unit1/MainForm.h"
#include "Unit2/AboutBox.h"
#include "app/AppInfo.h"
#include "app/CommandLine.h"
#include "platform/Platform.h"

#include <iostream>
#include <memory>
#include <string>

int main(int argc, char** argv) {
    if (const auto status = cli::handle(cli::arguments(argc, argv), std::cout, std::cerr)) return *status;
    if (std::string why; !platform::displayReachable(why)) return cli::reportNoDisplay(why, std::cerr);
    platform::Application application(argc, argv);
    application.setTitle("Tapirun");
    application.setDesktopId(appinfo::id);
    auto MofuForm1 = std::make_unique<TMofuForm1>(platform::systemClock());
    auto AboutBox = std::make_unique<TAboutBox>();
    MofuForm1->setAboutBox(*AboutBox);
    MofuForm1->show();
    const int status = application.run();
    MofuForm1.reset();
    return status;
}
