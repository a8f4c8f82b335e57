// The dialogs the main settings form opens without waiting for them, by
// form name. Each shows itself; unloading it shows the main settings form
// again.
#pragma once

#include <QString>

class QWidget;

namespace kestcfg {

// Makes and shows the dialog named form; null for a name no dialog has.
QWidget* OpenSubDialog(const QString& form);

}  // namespace kestcfg
