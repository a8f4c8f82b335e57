// Type-library rows of the local recording and playback methods.
#include "control/facade/ctrl.h"
#include "control/facade/typelib_builder.h"

namespace kest::rows {

using namespace typelib_builder;

void Recording(std::vector<MemberInfo>& lib) {
    lib.push_back(Method<&CKestCtrl::SaveImage>(
        31, "SaveImage", {{"Filename"}}, "Writes the current picture, as presented, to a file.", "",
        "5 no current picture; 4 the file cannot be written; 0 done"));
    lib.push_back(Method<&CKestCtrl::StartRec>(
        62, "StartRec", {{"FolderName"}},
        "Starts recording every new picture into FolderName/YYYYMMDDhhmmss.rec.", "",
        "9 a recording is running; 101 FolderName empty, not found or not a folder; "
        "4 the recording cannot start (file not created, or less than 50 MiB free); 0 recording"));
    lib.push_back(Method<&CKestCtrl::StopRec>(
        63, "StopRec", {}, "Stops the recording; its header is completed.", "",
        "6 no recording running; 0 stopped, its header completed"));
    lib.push_back(Method<&CKestCtrl::DeleteRec>(
        64, "DeleteRec", {{"Filename"}}, "Deletes a recorded file.", "",
        "4 the name is empty, the file is being recorded or cannot be deleted; 0 deleted"));
    lib.push_back(Method<&CKestCtrl::InitPlayRec>(
        65, "InitPlayRec", {{"Filename"}, {"DataCount"}},
        "Opens the recordings a name or pattern matches; DataCount is the first one's count.", "",
        "9 a playback is open; 4 nothing playable matches, or its header cannot be read or "
        "holds a count above 2147483647; "
        "0 open, DataCount set"));
    lib.push_back(Method<&CKestCtrl::MakeFirstPlayInfo>(
        66, "MakeFirstPlayInfo", {}, "Empties the play information and reads the first picture.",
        "", "100 no playback open; 4 no record (the playback is closed); 0 done"));
    lib.push_back(Method<&CKestCtrl::MakeNextPlayInfo>(
        67, "MakeNextPlayInfo", {}, "Reads the next picture's information.", "",
        "100 no playback open; 4 no more records (the playback is closed); 0 done"));
    lib.push_back(Method<&CKestCtrl::MakeJpegTmpfile>(
        68, "MakeJpegTmpfile", {{"Filename"}, {"Index"}, {"DateTime"}},
        "Writes picture Index (from 1) into a new temporary file; closes the playback.", "",
        "100 Index below 1 or above the number of play-information entries; "
        "5 the record cannot be read; 4 the temporary file cannot be written; "
        "0 done, Filename and DateTime (17 digits) set"));
    lib.push_back(Method<&CKestCtrl::QuitPlayRec>(
        69, "QuitPlayRec", {}, "Closes the playback and empties the play information.", "",
        "0 always"));
    lib.push_back(Method<&CKestCtrl::ShowJpegFile>(
        70, "ShowJpegFile", {{"Filename"}, {"NoTimeStamp"}},
        "Shows a JPEG file as a still picture; an empty name returns to live pictures.", "",
        "0 shown, or back to live pictures for an empty Filename; "
        "4 the file is missing, empty or unreadable; "
        "5 the file is too large, the picture is larger than 4096 x 4096 pixels or cannot be "
        "decoded"));
}

}  // namespace kest::rows
