#pragma once

// "KORU.CFG" as the player writes it on its first start: the shipped template with the
// defaults.
inline constexpr const char* kDefaultConfiguration =
    "[WindowPoint]\r\nx=0\r\ny=0\r\nMovieX=0\r\nMovieY=0\r\n"
    "[MouseMode]\r\nWheel1_Play =0\r\nWheel1_Pause=0\r\nWheel2_Mode =0\r\nBottunMode  =0\r\n"
    "CursorHide=0\r\nScanLine_Mode=0\r\nLineMask_Top=0\r\nLineMask_Bottom=0\r\nPauseSearch_Slow=0\r\n"
    "TopMost=0\r\nRandom=0\r\nRepeat=1\r\nLastFolder=\r\nLastList=\r\nListX=10\r\nListY=10\r\n"
    "ListWidth=200\r\nListHeight=320\r\nMovieSize_Save=0\r\nMovieSize=1\r\nFullScreen_Fit=4\r\n"
    "AutoPlay=1\r\nBackGround=\r\nPlayLeft_Fwd=2000\r\nPlayLeft_Back=-2000\r\nPauseLeft_Fwd=34\r\n"
    "PauseLeft_Back=-34\r\nPlayRight_Fwd=34\r\nPlayRight_Back=-34\r\nPauseRight_Fwd=2000\r\n"
    "PauseRight_Back=-2000\r\n";
