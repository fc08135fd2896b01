// The install procedure and its single outcome message.
#include "installer/install.h"

#include "codec/common/stream.h"
#include "format/payload.h"
#include "format/seal.h"
#include "installer/compressed.h"
#include "installer/config.h"
#include "installer/dialog_seam.h"
#include "installer/integrity.h"
#include "installer/output_files.h"
#include "installer/own_path.h"
#include "installer/registration.h"
#include "installer/stored.h"

int32_t install_ok;
int32_t payload_position;
int32_t one_message_left = 1;
int32_t installed;

namespace {

HANDLE open_for_reading(const char *path) {
  return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                     NULL);
}

HANDLE open_if_named(const char *path) {
  return path != NULL && path[0] != 0 ? open_for_reading(path) : INVALID_HANDLE_VALUE;
}

// By the module's own file name first: argv[0] as typed may be a name the
// shell found on the PATH, relative to another folder. Then by argv[0], then
// with ".exe" appended.
HANDLE open_own_file(void) {
  HANDLE file = open_if_named(own_module_path());
  if (file == INVALID_HANDLE_VALUE) file = open_if_named(startup_argv0());
  if (file == INVALID_HANDLE_VALUE) file = open_if_named(own_path_with_exe());
  return file;
}

// Every item in payload order; each step does nothing once install_ok is 0.
void write_payload_files(HANDLE own_file) {
  PayloadItem items[MAX_PAYLOAD_ITEMS];
  const int32_t count = plan_payload(&install_config, items);
  const int compressed = config_flag(FLAG_COMPRESSED);
  for (int32_t i = 0; i < count; ++i) {
    const PayloadItem &item = items[i];
    const char *path = item.new_file ? windows_dir_path(record_text(&install_config, item.name_offset)) : NULL;
    if (compressed)
      extract_stream(own_file, path, 1);
    else
      copy_stored_file(own_file, item.size, path, item.key);
  }
}

const uint8_t *plain_record(void) { return reinterpret_cast<const uint8_t *>(&install_config); }

// Refused like a record that fails its header check: the package's own
// "damaged installer" text, no failure message, nothing written.
void report_damaged(void) {
  if (install_config.bad_header_text[0] != 0) show_message_once(install_config.bad_header_text);
}

void install_from_own_file(void) {
  HANDLE own_file = open_own_file();
  if (own_file == INVALID_HANDLE_VALUE) {
    install_ok = 0;
    return;
  }
  payload_position = install_config.payload_offset;
  // A payload_offset the file pointer cannot take (a negative one) would
  // leave reading at the start of the file and install the stub's own bytes.
  if (SetFilePointer(own_file, payload_position, NULL, FILE_BEGIN) == INVALID_SET_FILE_POINTER) {
    CloseHandle(own_file);
    install_ok = 0;
    return;
  }
  // A sealed package proves every payload byte before the first file is
  // created; then back to the payload's start.
  if (!seal_payload_matches(plain_record(), own_file, transfer_buffer, TRANSFER_BUFFER_SIZE)) {
    CloseHandle(own_file);
    report_damaged();
    return;
  }
  SetFilePointer(own_file, payload_position, NULL, FILE_BEGIN);

  write_payload_files(own_file);
  // Closed on failure too, so a half-written file is not held open while the
  // failure message waits for the user.
  close_output_file();
  if (install_ok) install_ok = register_screen_saver();
  installed = install_ok;
  if (installed && install_config.done_text[0] != 0) show_message_once(install_config.done_text);
  CloseHandle(own_file);
}

}  // namespace

int install_payload(void) {
  install_ok = 1;
  // A record that names one file twice would write the second over the first.
  if (header_check_holds(&install_config) && seal_record_matches(plain_record()) &&
      payload_names_distinct(&install_config)) {
    install_from_own_file();
  } else {
    report_damaged();
  }
  end_progress_dialog();
  if (!install_ok) show_message_once(install_config.failure_text);
  return 0;
}

void show_message_once(const char *text) {
  end_progress_dialog();
  if (config_flag(FLAG_SILENT) || !one_message_left) return;
  one_message_left = 0;
  MessageBoxA(NULL, text, MESSAGE_CAPTION, MB_OK);
}
