#pragma once
#ifdef __cplusplus
extern "C" {
#endif
void md(const char* path);
void delTree(const char* path, int flags);
#ifdef __cplusplus
}
#endif
