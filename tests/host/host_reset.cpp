#include "host_reset.h"

#include "common_controls.h"
#include "cpu_pane.h"
#include "debuggee.h"
#include "debugger_actions.h"
#include "disassembler.h"
#include "host_values.h"
#include "log_window.h"
#include "names.h"
#include "settings_store.h"
#include "sorted_data.h"
#include "system_stubs.h"
#include "table_paint.h"
#include "text_entry.h"
#include "udd_records.h"
#include "violations.h"

namespace sim {

void ResetHost() {
    ResetViolations();
    ResetSortedData();
    ResetDebuggee();
    ResetDisassembler();
    ResetCpuPane();
    ResetHostValues();
    ResetLogWindow();
    ResetNames();
    ResetSettings();
    ResetUddRecords();
    ResetTextEntry();
    ResetDebuggerActions();
    ResetTablePaint();
    ResetSystemStubs();
    ResetCommonControls();
}

}  // namespace sim
