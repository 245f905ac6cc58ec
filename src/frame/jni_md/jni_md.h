/* The platform part of jni.h for Windows: native methods are stdcall on 32-bit (x64 has one
   convention), jint is a 32-bit long, jlong a 64-bit integer. Used with the JDK's own jni.h. */
#ifndef TESSALY_JNI_MD_H
#define TESSALY_JNI_MD_H

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#if defined(_WIN64)
#define JNICALL
#else
#define JNICALL __stdcall
#endif

typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
