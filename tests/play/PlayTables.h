// The complete optimal table, computed once per test program on first use.
#pragma once

namespace quintor {
void UseCompleteOptimalTable();
}
