// Placeholder until the start-up test dialog window lands: the page works without it.
#include "pages/bldc/StartupDialogLink.h"

namespace bldc {

std::unique_ptr<IStartupTestDialog> CreateStartupTestDialog(CRG1Micon*) { return nullptr; }

}  // namespace bldc
