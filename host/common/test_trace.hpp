// A start-up trace for the integration tests, so that they can see which mode a start
// chose without reading message boxes or windows.
//
// When the environment variable KELVORA_TEST_TRACE names a file, the program entry
// appends to it one line with the command line as read,
//   mode=<ModeText> param=<ParamText> parent=<ParentWindow in decimal>
// and one line with the chosen action,
//   dispatch=settings|preview|saver|password|none
// The show cycle adds one line per transition naming the effect it runs,
//   effect=<module file> <group>.<effect> <effect name>
// and, when that transition has ended, the frames it brought to the screen, its length,
// the part of it spent presenting frames and the process's counts of kernel handles, GDI
// objects and USER objects (where the system does not count them, as on Wine: the
// process's entries of the system's handle list, the live entries of its GDI handle table
// and its windows):
//   frames=<count> ms=<milliseconds> present_ms=<milliseconds> handles=<n> gdi=<n> user=<n>
// and one line for each picture caption it draws, with the text as drawn,
//   caption=<text>
// A full-screen or preview run adds, in milliseconds since the process was created, when
// its window shows the captured desktop and when the first picture's change begins:
//   saver window ms=<milliseconds>
//   first picture ms=<milliseconds>
// The settings dialog and its small dialogs add, once they are shown, one line per child
// window with its place on the screen (pixels, right and bottom exclusive),
//   control dialog=<window class> id=<control id> class=<window class> rect=<l>,<t>,<r>,<b>
//           visible=<0|1> enabled=<0|1> text=<window text>
// and then "controls dialog=<window class> end"; the settings dialog lists its controls
// again each time it shows the properties of a node of its picture tree, and adds
//   picture tree built nodes=<number of tree nodes>
// when its picture tree has been filled, and
//   picture tree folder filled nodes=<number of tree nodes>
// when a folder node, first opened, has been given its picture nodes.
// Without the variable nothing is written. Nothing else reads or writes the file.
#pragma once

#include <string>


namespace kelv {

inline constexpr const char* kTestTraceVariable = "KELVORA_TEST_TRACE";

// The trace file named by the variable, read once per process; empty when it is not set.
const std::string& TestTracePath();

// Appends `line` and a line break; an empty path or an unwritable file is ignored (the
// trace must never change what the program does).
void AppendTraceLine(const std::string& path, const std::string& line);

}  // namespace kelv
