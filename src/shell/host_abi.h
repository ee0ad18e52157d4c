#pragma once
// The C interface that a host exports for the plug-in. Texts are UTF-8. A text result is
// written into the caller's buffer like snprintf: the return value is the full length, so
// a caller with too small a buffer calls again with a larger one.
#include <stddef.h>

struct sqlite3;

#ifdef __cplusplus
extern "C" {
#endif

size_t KQGetCurPrjSerial(char* out, size_t cap);
size_t KQGetPrjFolder(const char* serial, char* out, size_t cap);
size_t KQGetCurUUID(char* out, size_t cap);
void* KQGetKQImageList(int flag);
size_t GetKQTempPathY(char* out, size_t cap);
int GetUserDoResRight(int resId, const char* uuid);
void RegisterDataN(const char* kind, const char* name, const char* uuid, const char* title,
                   const char* group, const char* site, const char* empty, const char* path,
                   const char* module, int a, int b, int c);
void ViewFileEx(const char* path, int flag, const char* caption, int readOnly);
size_t ExtractFile(const char* archive, const char* destination, char* out, size_t cap);
size_t CompressFile(const char* sourceFolder, const char* archive, char* out, size_t cap);
int GetPrjInfo(char* out, size_t cap);  /* 1 when available; the path is written to out */
void BeginProcess(void* owner, const char* title, const char* text);
void ChangeTransInfo(const char* text);
void HideProcess(void);
void EndProcess(void);
void* KQGetAppInterface(const char* module, const char* function, int flag);
/* The adopted application object's executable: its folder is the host program's folder. */
size_t KQGetAppExeName(char* out, size_t cap);

/* libconnsrc.so */
struct sqlite3* GetBaseDBConnection(void);
struct sqlite3* GetCurPrjDBConnection(void);

#ifdef __cplusplus
}
#endif
