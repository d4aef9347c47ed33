// Unified logging (os/log.h): the default log and error messages, with os_log format checking.
#pragma once
typedef struct os_log_s* os_log_t;
extern "C" struct os_log_s _os_log_default;
extern "C" void _os_log_error_impl(os_log_t log, const char* format, ...) __attribute__((format(os_log, 2, 3)));
#define OS_LOG_DEFAULT (&_os_log_default)
#define os_log_error(log, ...) _os_log_error_impl(log, __VA_ARGS__)
