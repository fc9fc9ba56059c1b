#include "Unit1/MainForm.h"
#include "Unit2/AboutBox.h"
#include "platform/Platform.h"

#include <memory>

int main(int argc, char** argv) {
    platform::Application application(argc, argv);
    application.setTitle("Tapirun");
    auto MofuForm1 = std::make_unique<TMofuForm1>(platform::systemClock());
    auto AboutBox = std::make_unique<TAboutBox>();
    MofuForm1->setAboutBox(*AboutBox);
    MofuForm1->show();
    const int status = application.run();
    MofuForm1.reset();
    return status;
}
