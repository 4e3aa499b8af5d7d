// The fixed texts that the bootstrapper shows, in one place so that the
// product, kivpack and the tests use the very same bytes.
#ifndef KIV_CONTAINER_SETUP_MESSAGES_H
#define KIV_CONTAINER_SETUP_MESSAGES_H

#define KIV_MSG_CANNOT_OPEN_PREFIX "Cannot open "  // followed by the path and "."
#define KIV_MSG_DAMAGED "Setup.exe is damaged."
#define KIV_MSG_NO_IMAGE "This application requires a\r\n32-bit version of Windows."
#define KIV_MSG_NO_TEMP_FILE "Cannot create temporary setup file."
#define KIV_MSG_COPY_FAILED "Cannot copy setup information\r\nto temporary file."
#define KIV_MSG_LOAD_FAILED "Cannot load secondary setup."
#define KIV_MSG_START_FAILED "Cannot load secondary setup. (2)"
#define KIV_MSG_NO_ENTRY "Setup.exe is damaged. (2)"

// The caption of the one error box.
#define KIV_SETUP_CAPTION "Setup"

#endif
