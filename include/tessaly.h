/* tessaly.h: the exports of TessalyEn_M.dll (32- and 64-bit Windows) and libtessaly.so
 * (Linux), for C and C++ hosts.
 *
 * On 32-bit Windows every export uses the standard calling convention (stdcall: the callee
 * removes its arguments) and takes one 32-bit slot per argument. On 64-bit Windows and on
 * Linux there is the platform's one convention: pointers, texts and handles are 64-bit,
 * every other argument keeps its 32-bit width (only the low 32 bits of its register or slot
 * are read), and atof_zk's double comes back in XMM0. Link the import library (Windows) or
 * -ltessaly, or load the library and find each export by the name given here
 * (GetProcAddress, dlsym).
 *
 * The 64-bit DLL exports every name of the 32-bit one, the three decorated names included
 * (spelled "_memcmp_zk@12" and so on, so that the same Declare ... Alias binds), and also
 * Java_Tessaly_GetDLLPath and Java_Tessaly_GetDLLVersion undecorated, as a 64-bit JVM looks
 * them up. libtessaly.so exports the crypto toolkit, the number, string and wildcard helpers,
 * the library's path and version and the Java natives, all under their plain names
 * (memcmp_zk too); the file, system, registry, process and message-box helpers are
 * Windows only.
 *
 * Rules that hold for every export:
 * - All memory belongs to the caller. Nothing is kept after a call returns.
 * - Pointers, buffer sizes and texts are not checked: the caller passes buffers of the size
 *   each contract below names.
 * - Texts are 8-bit characters in the system's ANSI code page (Linux: as the caller has
 *   them), ended by a zero byte.
 * - No export raises an exception; failures come back as result values only.
 */
#ifndef TESSALY_H
#define TESSALY_H

#include <stdint.h>

/* WINAPI: stdcall on 32-bit Windows. Elsewhere (64-bit Windows, Linux) the platform's one
   convention. */
#if defined(_WIN32) && !defined(_WIN64)
#  define TESSALY_API __stdcall
#else
#  define TESSALY_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- The library itself ------------------------------------------------------------ */

/* Writes the directory of the library's own file, ending in a backslash (Linux: a slash),
 * into path (at most 255 characters and a zero byte, so path must hold 256 bytes). Gives
 * ".\" (Linux: "./") when no file name can be had. Does nothing when path is null. */
void TESSALY_API GetDLLPath(char *path);

/* GetDLLPath for hosts that pass the buffer by reference (a pointer to the string pointer,
 * as Visual Basic does for ByRef strings): writes into *pathReference.
 * Every S form (this one and the _zk ones below) follows one rule: a null reference does
 * nothing and returns the plain form's failure (0, or 2 for ReadRegistryKeyS_zk); a reference
 * to a null pointer behaves as the plain form given a null pointer. */
void TESSALY_API GetDLLPathS(char **pathReference);

/* Returns 602, always. */
int32_t TESSALY_API GetDLLVersion(void);

/* Native methods of the Java class Tessaly (unnamed package). A 32-bit JVM finds them under
 * the decorated names _Java_Tessaly_GetDLLPath@12 and _Java_Tessaly_GetDLLVersion@8, a
 * 64-bit one and Linux under the plain names. environment is the JNIEnv pointer; object is
 * never read.
 *
 * GetDLLPath stores what GetDLLPath writes, turned from the ANSI code page (Linux: UTF-8)
 * into a Java string, in the String field "content" of holder. When holder's class has no such field,
 * nothing is stored and the JVM's lookup error stays pending for the Java caller.
 * GetDLLVersion returns what GetDLLVersion returns. */
#ifdef _JAVASOFT_JNI_H_ /* jni.h included first: declare with the JNI types */
void JNICALL Java_Tessaly_GetDLLPath(JNIEnv *environment, jobject object, jobject holder);
jint JNICALL Java_Tessaly_GetDLLVersion(JNIEnv *environment, jobject object);
#else
void TESSALY_API Java_Tessaly_GetDLLPath(void *environment, void *object, void *holder);
int32_t TESSALY_API Java_Tessaly_GetDLLVersion(void *environment, void *object);
#endif

/* ---- Base64 (RFC 4648 alphabet, "=" padding, no line breaks) ------------------------- */

/* mode 1 decodes, every other mode encodes; returns the count of output bytes that form the
 * result. outputSize is not read.
 *
 * Encoding writes exactly 4 * ceil(inputLength / 3) characters and no terminating zero; the
 * output must not overlap the input. inputLength below 1 writes nothing and returns 0, and so
 * does an inputLength of 1610612734 or more, whose count would not fit the result.
 *
 * Decoding takes whole groups of four characters (one to three left over are ignored;
 * inputLength below 4 returns 0) and writes at most 3 * floor(inputLength / 4) bytes. It
 * rejects nothing: a character outside the alphabet, "=" included, counts as an invalid
 * value wherever it stands. A group with two invalid values gives 1 byte, with one gives 2,
 * with none, three or four gives 3; a group of 1 or 2 bytes also writes one spare byte right
 * behind them (0 for canonical text), which the next group overwrites. A padded group does
 * not end the text. Decoding may work in place (output == input). */
int32_t TESSALY_API DoBASE64(const uint8_t *input, int32_t inputLength, uint8_t *output,
                             int32_t outputSize, int32_t mode);

/* ---- Block ciphers ---------------------------------------------------------------------
 * All four work in place, block by block with no chaining (electronic codebook), and always
 * write the last block whole: the buffer must hold length rounded up to the block size (8
 * bytes for DES, triple DES and Blowfish, 16 for AES). A length of 0 or below changes
 * nothing. Each call is independent and may run on any thread.
 * Blowfish, and DES and triple DES on a processor without AVX-512 or for the blocks that do
 * not fill a run of 512, look up tables at addresses that depend on the key and the data,
 * which is faster than any other way there; code sharing the processor can learn from the
 * cache what they read. With AVX-512, DES and triple DES run each whole run of 512 blocks
 * bitsliced, which reads no table. AES neither reads a table nor branches on the key or the
 * data, on every processor: AES-NI where the processor has it, and otherwise a bitsliced
 * cipher that computes the S-box. */

/* DES with the library's own P permutation (so not standard DES output). The bytes past
 * length in the last block are enciphered as they stand (the caller pads). mode 1 deciphers;
 * every other mode enciphers. key: 8 bytes; parity bits are ignored. */
void TESSALY_API DoDES(uint8_t *buffer, int32_t length, const uint8_t *key, int32_t mode);

/* Two-key triple DES over DoDES's cipher: enciphering is E(K1, D(K2, E(K1, block))) with K1 =
 * key bytes 1-8 and K2 = bytes 9-16; mode 1 deciphers. K1 equal to K2 gives DoDES. */
void TESSALY_API Do3DES(uint8_t *buffer, int32_t length, const uint8_t *key, int32_t mode);

/* AES (FIPS 197). keyLength selects the key size and all its bytes are used: 16 or less
 * gives AES-128 (16 bytes), 17 to 24 AES-192 (24 bytes), 25 or more AES-256 (32 bytes). A
 * short last block is zero-padded, when deciphering too: decipher with the rounded length.
 * mode 0 enciphers; every other mode deciphers. */
void TESSALY_API DoAES(uint8_t *buffer, int32_t length, const uint8_t *key, int32_t keyLength,
                       int32_t mode);

/* Blowfish in the library's own byte order (so not standard Blowfish output). The key is
 * read byte by byte and ends before its first zero byte or after min(keyLength, 56) bytes,
 * whichever comes first: no byte past that zero or past the first 56 is read, so a short
 * zero-terminated key may be passed with keyLength 56. keyLength 0 or below, or a first key
 * byte of zero, runs the cipher unkeyed (key not read when keyLength is below 1).
 * A short last block is zero-padded, when deciphering too. mode 0 enciphers; every other
 * mode deciphers. */
void TESSALY_API DoBlowfish(uint8_t *buffer, int32_t length, const uint8_t *key,
                            int32_t keyLength, int32_t mode);

/* ---- Message digests ------------------------------------------------------------------ */

/* keyLength below 1: the plain MD5 digest of data (key is not read and may be null).
 * Otherwise the HMAC-MD5 of data under the keyLength bytes at key; a key over 64 bytes is
 * first replaced by its MD5 digest. Writes exactly 16 bytes (RFC 1321 byte order) to digest,
 * which may be the same memory as data or key. */
void TESSALY_API MD5_Ex(const uint8_t *data, uint32_t dataLength, const uint8_t *key,
                        int32_t keyLength, uint8_t *digest);

/* The SHA-256 digest of data: exactly 32 bytes (FIPS 180-2 byte order) written to digest,
 * which may be the same memory as data. */
void TESSALY_API SHA_256(const uint8_t *data, uint32_t length, uint8_t *digest);

/* ---- RSA on decimal texts ------------------------------------------------------------- */

/* x^exponent mod modulus on each number, the key given as decimal texts (leading zeros do not
 * count; an empty or null text is zero). direction 0: data is bytes, taken as 4-byte groups
 * (most significant byte first, the last one completed with zero bytes), and output receives
 * one line of decimal results separated by single spaces. Other directions: data is such a
 * line (dataLength bytes, tokens between single spaces, empty tokens skipped) and output
 * receives 4 bytes per token, the result's low 32 bits, most significant first. Either way a
 * zero byte follows and *outputLength receives the count before it.
 * Returns 0 (also, doing nothing, for dataLength below 1); 2 when a text holds a byte other
 * than "0" to "9" or more than 128 significant digits; 3 when a number is not below the
 * modulus (always for modulus 0); 1 when the exponent is 0 - checked in that order. On an
 * error *outputLength is left alone; bytes of earlier tokens may have been written.
 * Room: direction 0, per group as many characters as the modulus has digits plus a space, and
 * the zero byte; otherwise 4 bytes per token and the zero byte.
 * For an odd modulus the exponentiation takes the same steps and reads the same addresses
 * whatever the exponent's digits (only how many 32-bit words it fills shows); an even modulus
 * is reduced by long division, whose steps depend on the values. */
int32_t TESSALY_API DoRSA(const uint8_t *data, int32_t dataLength, uint8_t *output,
                          int32_t *outputLength, const char *exponent, const char *modulus,
                          int32_t direction);

/* ---- Byte scramblers (in place; each direction undoes the other; a length of 0 or below
 * changes nothing; only the low 8 bits of seed and count are read) --------------------- */

/* direction 0: each byte becomes itself XOR the input byte before it; any other direction:
 * itself XOR the output byte before it. seed stands before the first byte. */
void TESSALY_API Exclusive_OR(uint8_t *buffer, int32_t length, int32_t seed, int32_t direction);

/* Rotates the buffer as one string of 8 * length bits (byte 0 first, most significant bit
 * first) by count positions: towards byte 0 for direction 0, towards the last byte otherwise. */
void TESSALY_API Shift_Data(uint8_t *buffer, int32_t length, int32_t count, int32_t direction);

/* Replaces every byte through the library's fixed table (direction 0) or its inverse. */
void TESSALY_API Substitution(uint8_t *buffer, int32_t length, int32_t direction);

/* ---- Number and bit helpers: 32-bit two's complement, wrapping; shift counts mod 32 ---- */

int32_t TESSALY_API abs_zk(int32_t value);      /* -2147483648 stays itself */
int32_t TESSALY_API chr_zk(int32_t value);      /* value mod 256 with the sign of value */
int32_t TESSALY_API int_zk(int32_t value);      /* the low byte, 0 to 255 */
int32_t TESSALY_API not_zk(int32_t value);
int32_t TESSALY_API add_zk(int32_t a, int32_t b);
int32_t TESSALY_API sub_zk(int32_t a, int32_t b);
int32_t TESSALY_API mul_zk(int32_t a, int32_t b);
/* Truncating division and its remainder (sign of a). b == 0 gives 0 and a; -2147483648 / -1
 * gives -2147483648 and remainder 0. */
int32_t TESSALY_API div_zk(int32_t a, int32_t b);
int32_t TESSALY_API mod_zk(int32_t a, int32_t b);
int32_t TESSALY_API and_zk(int32_t a, int32_t b);
int32_t TESSALY_API or_zk(int32_t a, int32_t b);
int32_t TESSALY_API xor_zk(int32_t a, int32_t b);
int32_t TESSALY_API leftshift_zk(int32_t value, int32_t count);
int32_t TESSALY_API rightshift_zk(int32_t value, int32_t count);  /* sign bit shifted in */
int32_t TESSALY_API urightshift_zk(int32_t value, int32_t count); /* zeros shifted in */
/* The decimal integer at the start of text, after white space and one optional sign,
 * wrapping silently; 0 when there are no digits or text is null. */
int32_t TESSALY_API atoi_zk(const char *text);
/* The decimal number at the start of text ("e", "E", "d" or "D" before the exponent); 0.0
 * when there is none or text is null. */
double TESSALY_API atof_zk(const char *text);

/* ---- String helpers: byte positions from 0, -1 when not found; a null text reads as the
 * empty one except where a buffer is written ------------------------------------------ */

int32_t TESSALY_API strlen_zk(const char *text);
/* Characters, where a byte of 0x81 or more and the byte after it count as one. */
int32_t TESSALY_API strlenword_zk(const char *text);
int32_t TESSALY_API instr_zk(const char *text, const char *sought);  /* first; "" is at 0 */
/* The last occurrence, overlapping ones included; an empty sought text gives the length. */
int32_t TESSALY_API inrstr_zk(const char *text, const char *sought);
/* Writes the low byte of character at index when index (unsigned) is inside the text. */
void TESSALY_API setstrchar_zk(char *text, uint32_t index, int32_t character);
void TESSALY_API setstrchars_zk(char **textReference, uint32_t index, int32_t character);
/* -1, 0 or 1 by unsigned bytes; a prefix is the smaller. */
int32_t TESSALY_API strcmp_zk(const char *first, const char *second);
/* -1, 0 or 1 over count bytes, zero bytes included. Exported as _memcmp_zk@12. */
int32_t TESSALY_API memcmp_zk(const void *first, const void *second, uint32_t count);
/* ASCII letters changed in place; return the pointer given (null for null). */
char *TESSALY_API toupper_zk(char *text);
char *TESSALY_API touppers_zk(char **textReference);
char *TESSALY_API tolower_zk(char *text);
char *TESSALY_API tolowers_zk(char **textReference);
int32_t TESSALY_API isnumeric_zk(const char *text);  /* 1: not empty, digits only */
int32_t TESSALY_API isdigital_zk(const char *text);  /* 1: not empty, digits and points only */

/* ---- Wildcard matching ---------------------------------------------------------------- */

/* 1 when the whole text matches the whole pattern: "*" any run, "?" one character, "[...]"
 * one character of a class (the text character upper-cased against the class bytes as
 * written; "x-y" ranges compare signed bytes), any other byte itself in either ASCII case. */
int32_t TESSALY_API MatchPattern_zk(const char *text, const char *pattern);

/* ---- Files, directories and paths (Windows only) ---------------------------------------
 * A "search" finds files and directories alike and may use the wildcards * and ?; only its
 * first match counts. Size arguments hold on entry the most characters the caller accepts
 * (the buffer holds one more, for the zero) and on return the count written. */

/* A new copy of the part of path after its last backslash or colon (index 0 not examined;
 * "/" is no separator), on the C runtime's heap; the library never frees it. */
char *TESSALY_API NameFromPath_zk(const char *path);
/* Reads up to *size bytes of the file in text mode (CR LF as LF, Ctrl-Z ends), adds a zero and
 * sets *size to the count read. 0 done (nothing read when *size < 1); 1 cannot open. */
int32_t TESSALY_API ReadFileString_zk(const char *fileName, char *buffer, int32_t *size);
/* The host executable's file name (after the last backslash, then the last colon), or its
 * folder with a trailing backslash (".\" when unknown). A text longer than *size is cut to
 * *size characters and *size is left as it was. */
void TESSALY_API GetExeFilename_zk(char *buffer, int32_t *size);
void TESSALY_API GetExeFilenameS_zk(char **bufferReference, int32_t *size);
void TESSALY_API GetExePath_zk(char *buffer, int32_t *size);
void TESSALY_API GetExePathS_zk(char **bufferReference, int32_t *size);
/* Creates every missing level of path up to its last "\" or "/". */
void TESSALY_API CheckDirectory_zk(const char *path);
/* The length of the first match's full path, 0 when nothing is found. fullPath (260 bytes, or
 * null) receives the full path; one that does not fit is not written (fullPath then holds the
 * empty text, and the result, 260 or more, is the room it needs). */
int32_t TESSALY_API FileExists_zk(const char *name, char *fullPath);
int32_t TESSALY_API FileExistsS_zk(const char *name, char **fullPathReference);
/* The first match's size; 4294967295 for 4 GiB or more; 0 when nothing is found. */
uint32_t TESSALY_API GetFileSize_zk(const char *name);
/* 1 done, 0 failed. Only the low byte of failIfExists counts. */
int32_t TESSALY_API CopyFile_zk(const char *source, const char *target, int32_t failIfExists);
int32_t TESSALY_API MoveFile_zk(const char *source, const char *target);
/* The first match's creation time, local: 1 found, 0 nothing found (outputs untouched). */
int32_t TESSALY_API GetFileCreationTime_zk(const char *name, int32_t *year, int32_t *month,
                                           int32_t *day, int32_t *hour, int32_t *minute,
                                           int32_t *second);
/* Empties directory depth first and leaves it in place; links to directories are removed,
 * never followed. 1 done (also when it does not exist), 0 stopped at a subdirectory that
 * could not be emptied or removed. Files that cannot be deleted stay. */
int32_t TESSALY_API RemoveDirectory_zk(const char *directory);

/* ---- System information (Windows only) ------------------------------------------------- */

/* GetComputerNameA's result: non-zero on success, *size as that operation sets it (a null
 * buffer gives 0 and the room needed); a null size gives 0. */
int32_t TESSALY_API GetComputerName_zk(char *buffer, uint32_t *size);
int32_t TESSALY_API GetComputerNameS_zk(char **bufferReference, uint32_t *size);
int32_t TESSALY_API SetComputerName_zk(const char *name);
/* The directory with a trailing backslash and its length. When that and its zero do not fit
 * in size bytes, buffer receives the empty text (size >= 1) and the result is the room
 * needed, as for a null buffer, which is never written; 0 on failure. */
int32_t TESSALY_API GetWindowsDirectory_zk(char *buffer, uint32_t size);
int32_t TESSALY_API GetWindowsDirectoryS_zk(char **bufferReference, uint32_t size);
int32_t TESSALY_API GetSystemDirectory_zk(char *buffer, uint32_t size);
int32_t TESSALY_API GetSystemDirectoryS_zk(char **bufferReference, uint32_t size);
/* A disk's total or free bytes; 4294967295 for 4 GiB or more; 0 on failure. */
uint32_t TESSALY_API GetDiskSpace_zk(const char *rootPath);
uint32_t TESSALY_API GetDiskFreeSpace_zk(const char *rootPath);
/* FindWindowA's handle as an integer, 0 when there is none. Handles are pointer-sized: 32-bit
 * in the 32-bit DLL, 64-bit in the 64-bit one. */
uintptr_t TESSALY_API FindWindow_zk(const char *className, const char *windowName);
/* The firmware's BIOS text (at most 50 characters) into a 51-byte buffer. Returns 1 when the
 * physical memory could be read (the text may be empty), 0 when not (empty text). */
uint8_t TESSALY_API GetBiosInfo_zk(char *buffer);
uint8_t TESSALY_API GetBiosInfoS_zk(char **bufferReference);

/* ---- Registry: REG_SZ values below HKEY_LOCAL_MACHINE (Windows only) -------------------
 * Both DLLs use the 32-bit view of the registry (the 64-bit DLL opens keys with
 * KEY_WOW64_32KEY), so they read and write the same values: the ones 32-bit hosts and their
 * installers wrote, found by 64-bit tools under SOFTWARE\WOW6432Node. */

/* Reads into a 256-byte buffer (always zero-terminated once the query wrote to it). 0 read;
 * 1 the key cannot be opened; 2 the value is missing, longer than 255 characters, or not
 * REG_SZ (other types leave their raw bytes), or buffer is null. The key is opened for
 * reading only. */
int32_t TESSALY_API ReadRegistryKey_zk(const char *subKey, const char *valueName, char *buffer);
int32_t TESSALY_API ReadRegistryKeyS_zk(const char *subKey, const char *valueName,
                                        char **bufferReference);
/* Stores text as REG_SZ: 0 stored; 1 the key cannot be opened (it is not created); 2 the value
 * could not be stored. */
int32_t TESSALY_API WriteRegistryKey_zk(const char *subKey, const char *valueName, const char *text);

/* ---- Processes and message boxes: arguments passed through unchanged (Windows only) ---- */

/* window and the result are pointer-sized handles. */
uintptr_t TESSALY_API ShellExecute_zk(uintptr_t window, const char *operation, const char *file,
                                     const char *parameters, const char *directory,
                                     int32_t showCommand);
uint32_t TESSALY_API WinExec_zk(const char *commandLine, uint32_t showCommand);
int32_t TESSALY_API MessageBox_zk(uintptr_t window, const char *text, const char *caption,
                                  uint32_t type);
int32_t TESSALY_API MessageBoxN_zk(const char *text, const char *caption, uint32_t type);

#ifdef __cplusplus
}
#endif

#endif /* TESSALY_H */
