// The Windows check build's windows.h: mingw-w64's, plus what the Windows
// SDK's does and mingw-w64's does not. The SDK's defines min and max as macros
// in C++ too unless NOMINMAX is defined (mingw-w64's only in C), so code that
// would break under MSVC breaks here as well.
#include_next <windows.h>

#if defined(__cplusplus) && !defined(NOMINMAX)
#ifndef max
#define max(a, b) (((a) > (b)) ? (a) : (b))
#endif
#ifndef min
#define min(a, b) (((a) < (b)) ? (a) : (b))
#endif
#endif
