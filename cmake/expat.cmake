# Expat, the XML reader, as the static library "expat": Debian's source of
# it, fetched into the cache by tools/fetch-expat.sh (never kept in the
# repository), built with the plug-in's compiler. Its users link the target
# and include <expat.h>; XML_STATIC and XML_DTD come with it.
execute_process(COMMAND ${CMAKE_SOURCE_DIR}/tools/fetch-expat.sh
  OUTPUT_VARIABLE EXPAT_SOURCE_DIR OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE expat_fetched)
if(NOT expat_fetched EQUAL 0 OR NOT EXISTS ${EXPAT_SOURCE_DIR}/lib/xmlparse.c)
  message(FATAL_ERROR "Expat's source could not be fetched (tools/fetch-expat.sh): ${EXPAT_SOURCE_DIR}")
endif()
add_library(expat STATIC ${EXPAT_SOURCE_DIR}/lib/xmlparse.c ${EXPAT_SOURCE_DIR}/lib/xmltok.c
  ${EXPAT_SOURCE_DIR}/lib/xmlrole.c)
target_include_directories(expat SYSTEM PUBLIC ${EXPAT_SOURCE_DIR}/lib)
target_include_directories(expat PRIVATE ${CMAKE_SOURCE_DIR}/cmake/expat)
target_compile_definitions(expat PUBLIC XML_STATIC XML_DTD
  PRIVATE HAVE_EXPAT_CONFIG_H NDEBUG _WIN32_WINNT=0x0501 WINVER=0x0501)
# Small rather than fast, like the other readers. The cache folder's path
# stays out of the image and the symbols, also where its users include
# expat.h: the same DLL wherever it is built.
target_compile_options(expat PRIVATE -Os -g -ffunction-sections -fdata-sections -fno-asynchronous-unwind-tables
  -ffile-prefix-map=${CMAKE_SOURCE_DIR}/= PUBLIC -ffile-prefix-map=${EXPAT_SOURCE_DIR}=expat)
