#include "app/app_windows.h"

#include "app/aid_settings.h"

#include "app/form1.h"
#include "app/form10.h"
#include "app/form11.h"
#include "app/form12.h"
#include "app/form3.h"
#include "app/form7.h"
#include "app/form8.h"
#include "builder/form4.h"
#include "link/coordination.h"
#include "link/form2.h"
#include "loader/form5.h"
#include "platform/ui/address_dialog.h"
#include "platform/ui/windows.h"

namespace app {

void RegisterAppWindows() {
    platform::RegisterWindow(QStringLiteral("Form8"), [] { return new Form8; });
    platform::RegisterWindow(QStringLiteral("Form3"), [] { return new Form3; });
    platform::RegisterWindow(QStringLiteral("Form1"), [] { return new Form1; });
    platform::RegisterWindow(QStringLiteral("Form4"), [] { return new builder::Form4; });
    platform::RegisterWindow(QStringLiteral("Form5"), [] { return new loader::Form5; });
    // A controller coordinating marks its player when it is created.
    platform::RegisterWindow(QStringLiteral("Form2"), [] {
        return new mplink::Form2(
            nullptr, Coordination().Usable() ? coord::PlayerMark() : std::vector<std::uint8_t>{});
    });
    platform::RegisterWindow(QStringLiteral("Form10"), [] { return new Form10; });
    platform::RegisterWindow(QStringLiteral("Form7"), [] { return new Form7; });
    platform::RegisterWindow(QStringLiteral("Form11"), [] { return new Form11; });
    platform::RegisterWindow(QStringLiteral("Form12"), [] { return new Form12; });
    platform::RegisterWindow(QStringLiteral("Form13"), [] { return new Form13; });
    platform::InstallAddressDialog();
}

}  // namespace app
