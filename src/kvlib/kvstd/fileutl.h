// fileutl: opening and closing streams with a failure report (1091, 1077),
// the regular-file test, the reporting of writes that fail (1093), files
// that replace their target only when the run succeeds, and the stream the
// operator's console is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

FILE* kvOpenFile(const char* path, const char* mode);
// A stream with unwritten data is flushed first; a flush that fails is
// reported with 1093 (the data is lost), a close that fails with 1077.
int kvFclose(FILE* stream);
int kvIsRegularFile(const char* path);
// Device and inode of an open stream ("dev:inode"), which names the file
// whatever path reached it; empty when the system does not say.
std::string kvFileIdentity(FILE* stream);

// Moves a read stream to byte `offset` from the file's start. False (errno
// says why) for a stream that cannot seek, such as a pipe.
bool kvSeekFile(FILE* stream, int64_t offset);

// Reads one line, its line end included when there is one, of any length.
// Returns false at the end of the stream with nothing read.
bool kvReadLine(FILE* stream, std::string& line);

// Writes `size` bytes to `stream` and flushes it. False when the stream did
// not take them all; errno then says why.
bool kvWriteFlush(FILE* stream, const void* data, size_t size);

// Reports a failed write to the file `name` with system error `error`:
// message 1093 (name, error text), and the run counts as having lost
// output. Inside an output scope the message waits until the thread's
// outermost scope ends, so the text being written when the failure was
// found is complete (logged, echoed) before the message about it.
void kvWriteFailed(const char* name, int error);

// Output scopes nest per thread. The writers of console, report and
// error log open one around each text, because the message that reports
// their own failure is written through them.
void kvOutputScopeBegin();
void kvOutputScopeEnd();

// Counts output lost without a 1093 (an error log `name` that could not
// be opened, for system error `error`); kvOutputLost is true after any
// loss, and the run then ends with a non-zero status.
void kvNoteOutputLost(const char* name, int error);
bool kvOutputLost();
// The first loss of the run: the file and the system error text; false
// when nothing was lost.
bool kvFirstOutputLoss(std::string& name, std::string& error);
// Test seam: forgets every loss counted so far.
void kvOutputLostReset();

// Output that replaces a file only when the run succeeds: it is written to
// a new file beside `path` (with `path`'s permissions when it exists, and
// for `append` a copy of its content first) and renamed over it by
// kvCommitReplacements. Until then `path` stays as it was; a process that
// ends without committing removes the new file. A target that exists but
// is not a regular file (a device, a FIFO) is written directly. Null, with
// errno set, when neither can be opened.
FILE* kvOpenReplacement(const char* path, bool append);
// Puts every replacement in place. False after reporting (1093) one that
// could not be written or renamed; that one's target stays as it was.
bool kvCommitReplacements();
// Whether `stream` writes a replacement not yet put in place.
bool kvIsPendingReplacement(FILE* stream);
// Removes the replacements not committed, leaving their targets as they
// were. Safe to call from the interrupt thread just before the process ends.
void kvDiscardReplacements();

// The operator's console: standard output, or standard error once
// kvConsoleUseStandardError is called (the DDL then has standard output
// to itself).
FILE* kvConsoleStream();
void kvConsoleUseStandardError();
