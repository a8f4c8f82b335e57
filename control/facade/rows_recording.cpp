// Type-library rows of the local recording and playback methods.
#include "control/facade/ctrl.h"
#include "control/facade/typelib_builder.h"

namespace kest::rows {

using namespace typelib_builder;

void Recording(std::vector<MemberInfo>& lib) {
    lib.push_back(Method<&CKestCtrl::SaveImage>(
        31, "SaveImage", {{"Filename"}}, "Writes the current picture, as presented, to a file."));
    lib.push_back(Method<&CKestCtrl::StartRec>(
        62, "StartRec", {{"FolderName"}},
        "Starts recording every new picture into FolderName/YYYYMMDDhhmmss.rec."));
    lib.push_back(Method<&CKestCtrl::StopRec>(63, "StopRec", {},
                                              "Stops the recording; its header is completed."));
    lib.push_back(
        Method<&CKestCtrl::DeleteRec>(64, "DeleteRec", {{"Filename"}}, "Deletes a recorded file."));
    lib.push_back(Method<&CKestCtrl::InitPlayRec>(
        65, "InitPlayRec", {{"Filename"}, {"DataCount"}},
        "Opens the recordings a name or pattern matches; DataCount is the first one's count."));
    lib.push_back(Method<&CKestCtrl::MakeFirstPlayInfo>(
        66, "MakeFirstPlayInfo", {}, "Empties the play information and reads the first picture."));
    lib.push_back(Method<&CKestCtrl::MakeNextPlayInfo>(67, "MakeNextPlayInfo", {},
                                                       "Reads the next picture's information."));
    lib.push_back(Method<&CKestCtrl::MakeJpegTmpfile>(
        68, "MakeJpegTmpfile", {{"Filename"}, {"Index"}, {"DateTime"}},
        "Writes picture Index (from 1) into a new temporary file; closes the playback."));
    lib.push_back(Method<&CKestCtrl::QuitPlayRec>(
        69, "QuitPlayRec", {}, "Closes the playback and empties the play information."));
    lib.push_back(Method<&CKestCtrl::ShowJpegFile>(
        70, "ShowJpegFile", {{"Filename"}, {"NoTimeStamp"}},
        "Shows a JPEG file as a still picture; an empty name returns to live pictures."));
}

}  // namespace kest::rows
