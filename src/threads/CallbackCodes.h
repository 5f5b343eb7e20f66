// The numbered reports that a worker sends to its receiver. The parameter is
// null unless noted; "int*" points at a 32-bit integer owned by the sender
// and valid only during the call.
#pragma once

namespace CB {
inline constexpr unsigned START_THREAD = 0;     // the job has begun
inline constexpr unsigned STEP = 1;             // advance the progress by one; result goes back to the worker
inline constexpr unsigned INFO_TEXT = 2;        // const char*: show this info text
inline constexpr unsigned SET_RANGE = 5;        // int*: progress total, at least 1
inline constexpr unsigned RESULT = 6;           // int*: 1 = build ran to its end, 0 = cancelled
inline constexpr unsigned ANALYZE_CSV = 7;      // run the CSV analysis step now, on the worker thread
inline constexpr unsigned COPY_ABORTED = 8;     // the copy was aborted
inline constexpr unsigned COPY_PROGRESS = 9;    // int*: copy progress in percent
inline constexpr unsigned COPY_FINISHED = 10;   // the copy run ended without failure
inline constexpr unsigned PROG_NOT_FOUND = 11;  // the phone application is missing
inline constexpr unsigned INSTALL_PROGRESS = 12;  // installation state report
inline constexpr unsigned INSTALL_DONE = 13;      // installation done
inline constexpr unsigned INSTALL_FAILED = 14;    // installation not started or failed
inline constexpr unsigned MAPPING_CHANGED = 15;   // a property type was changed in the mapping list
inline constexpr unsigned END_THREAD = 20;        // the job is over
}  // namespace CB
