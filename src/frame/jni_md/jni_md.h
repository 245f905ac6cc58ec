/* The platform part of jni.h for 32-bit Windows: native methods are stdcall, jint is a
   32-bit long, jlong a 64-bit integer. Used with the JDK's own jni.h. */
#ifndef TESSALY_JNI_MD_H
#define TESSALY_JNI_MD_H

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
