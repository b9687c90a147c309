#include "corvina/run_application.h"

#include <QApplication>
#include <memory>

#include "corvina/wizard_dialog.h"
#include "platform/crash/crash_dump_writer.h"

namespace corvina {

int RunApplication(ui::FrameDialogs& dialogs)
{
    crash::InstallCrashDumpFilter("corvina.dmp");
    auto wizard = std::make_unique<WizardDialog>(dialogs);
    if (!wizard->Initialize())
        return 0;
    QObject::connect(wizard.get(), &QDialog::finished, qApp,
                     [](int command) { QCoreApplication::exit(command); });
    wizard->show();
    const int result = QApplication::exec();
    wizard.reset();
    return result;
}

}  // namespace corvina
