#pragma once
// Which vector instructions the fast paths may use. AVX2 where the processor has it,
// unless the environment variable ZEL_NO_AVX2 is set or a test turns it off; the
// baseline paths use only what every x86-64 has. Both give the same results.

namespace Cpu {
bool UseAvx2();
void AllowAvx2(bool Allowed);
} // namespace Cpu
