/* The library's version: the one place that the version resource and GetDLLVersion read. */
#ifndef TESSALY_FRAME_VERSION_H
#define TESSALY_FRAME_VERSION_H

#define TESSALY_VERSION_MAJOR 6
#define TESSALY_VERSION_MINOR 0
#define TESSALY_VERSION_PATCH 0
#define TESSALY_VERSION_BUILD 1
/* Hosts compare against the text exactly as the string table has always written it. */
#define TESSALY_VERSION_TEXT "6, 0, 0, 1"

/* What GetDLLVersion answers. Hosts test for this number; it is not derived from the
   resource version above and does not change with it. */
#define TESSALY_DLL_VERSION_NUMBER 602

#define TESSALY_FILE_DESCRIPTION "Tessaly DLL"
#define TESSALY_INTERNAL_NAME "Tessaly"
#define TESSALY_ORIGINAL_FILENAME "Tessaly.DLL"
#define TESSALY_PRODUCT_NAME "Tessaly Dynamic Link Library"

#endif
