// OrbiterAPI.h includes <lua/lua.h>; the SDK's folder is Lua/. On a
// case-sensitive file system this forwards to it. The check build searches
// this folder after the SDK's (-idirafter), so it is used only where needed.
#include <Lua/lua.h>
