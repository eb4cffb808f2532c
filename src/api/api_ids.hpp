#pragma once
// The API table's rows, in id order: every built-in function's name and id.
// The rows live in a header so that a family's registration table can name
// its ids by API name, checked when the family is compiled:
//
//   {api::Id("strlen"), Strlen},
#include <array>
#include <string_view>

#include "api/api_table.hpp"

namespace vx::api {

inline constexpr std::array<ApiEntry, API_COUNT> kApiEntries = {{
    // 1-7 system
    {"SetSysPrm", 1}, {"OprtSys", 2}, {"CallStackInfo", 3}, {"ChkVersion", 4}, {"Registry", 5},
    {"GetSysInfo", 6}, {"CtrlMonitor", 7},
    // 8-47 strings
    {"AllAscii", 8}, {"ChkString", 9}, {"ChkKWord", 10}, {"strCWord", 11}, {"strcmp", 12},
    {"stricmp", 13}, {"StrReplace", 14}, {"StrReplaceSj", 15}, {"SjDivideStr", 16},
    {"CWordReplace", 17}, {"StrFill", 18}, {"stristr", 19}, {"stristrSjis", 20}, {"StrInStr", 21},
    {"strlen", 22}, {"StrcmpWild", 23}, {"InsComma", 24}, {"GetExt", 25}, {"GlosFN", 26},
    {"CutString", 27}, {"SplitString", 28}, {"SkipSpace", 29}, {"CutSpace", 30}, {"CnvTab", 31},
    {"ScanWord", 32}, {"ScanWordC", 33}, {"strncpyPlus", 34}, {"StrAddMulti", 35},
    {"GetPartStr", 36}, {"SetPartStr", 37}, {"CharToBinary", 38}, {"BinStrToBinary", 39},
    {"BinaryToChar", 40}, {"LayIntOnStr", 41}, {"GetIntOnStr", 42}, {"Hafe2Full", 43},
    {"ToUnicode", 44}, {"UnicodeToSJis", 45}, {"UTF8ToSJis", 46}, {"SJisToUTF8", 47},
    // 48-50 window title, waiting, dumps
    {"SetWindowText", 48}, {"Sleep", 49}, {"Dump", 50},
    // 51-56 fields
    {"GetSprtdFld", 51}, {"GetSprtdFldCalc", 52}, {"GetField", 53}, {"GetFieldCalc", 54},
    {"SetField", 55}, {"GetFixFld", 56},
    // 57-58 binary files, source name
    {"WriteBinary", 57}, {"GetSourceName", 58},
    // 59-67 list boxes and controls
    {"EditGetSel", 59}, {"ListBSelChg", 60}, {"ListBSelDel", 61}, {"ListBInsert", 62},
    {"ListBClr", 63}, {"GetListCurSel", 64}, {"LoadListBox", 65}, {"ExpListBox", 66},
    {"RscCtrl", 67},
    // 68 random numbers
    {"rand", 68},
    // 69-86 arrays and FIFOs
    {"GetArray", 69}, {"SetArray", 70}, {"SetAryElem", 71}, {"SortArray", 72}, {"ClearArray", 73},
    {"ClearStrArray", 74}, {"GetStrArray", 75}, {"SetStrArray", 76}, {"SaveStrArray", 77},
    {"LoadStrArray", 78}, {"SortStrArray", 79}, {"SearchStrArray", 80}, {"PutFifo", 81},
    {"GetFifo", 82}, {"ClearFifo", 83}, {"RewindFifo", 84}, {"FifoCmd", 85}, {"SortList", 86},
    // 87-95 files, dates, forms
    {"TruncateFile", 87}, {"Date2Ser", 88}, {"Ser2Date", 89}, {"TellWkDay", 90},
    {"TellMthDays", 91}, {"FillFrm", 92}, {"StrFillFrm", 93}, {"InFileIdx", 94}, {"InFileWC", 95},
    // 96-115 wireframe 3D
    {"Set3DScrn", 96}, {"EyeSet3D", 97}, {"EyeGet3D", 98}, {"EyeMove", 99}, {"SetWire3DCol", 100},
    {"DrawWire3D", 101}, {"Prj2D", 102}, {"WireText", 103}, {"WireArrow", 104}, {"SetEyeCtr", 105},
    {"Set3DPoint", 106}, {"Clear3DData", 107}, {"Set3DPLOff", 108}, {"Load3DDataCol", 109},
    {"Load3DData", 110}, {"Set3DLine", 111}, {"DrawAll3DLines", 112}, {"Draw3DDots", 113},
    {"Get3DDotNum", 114}, {"Draw3DWave", 115},
    // 116-130 simulation
    {"InitSimPrm", 116}, {"CalcNxtMmnt", 117}, {"SetMedia", 118}, {"CutPTP", 119},
    {"SetMediaAttr", 120}, {"SetMvmntFg", 121}, {"SetWvPnt", 122}, {"GoSim", 123}, {"S2Flat", 124},
    {"S2GoSim", 125}, {"S2CalcNxtMmnt", 126}, {"S2Init", 127}, {"S2SetAttr", 128},
    {"S2SetForce", 129}, {"S2Display", 130},
    // 131-183 audio
    {"AudioInfo", 131}, {"AudioCtrl", 132}, {"WvDraw", 133}, {"SpctDraw", 134}, {"IsPlayNow", 135},
    {"AudioPlay", 136}, {"AudioRec", 137}, {"StopRec", 138}, {"MkWaveSPC", 139}, {"SetWSpct", 140},
    {"GetWSpct", 141}, {"GetWSpctAtWv", 142}, {"GetWElem", 143}, {"SetWElem", 144},
    {"AddWElem", 145}, {"GetWaveLevel", 146}, {"MkWvSlope", 147}, {"PrjctWave", 148},
    {"StretchWave", 149}, {"GetRealWE", 150}, {"SetRealWE", 151}, {"ClearWSpc", 152},
    {"ChgWSpc", 153}, {"WaveMagToSpc", 154}, {"ClearRWv", 155}, {"WvR2S", 156}, {"PasteWv", 157},
    {"GetWaveFInfo", 158}, {"LoadWaveF", 159}, {"SaveWaveF", 160}, {"SaveWaveFGls", 161},
    {"ConvWaveF", 162}, {"VolChgF", 163}, {"JntWaveF", 164}, {"LoadSpctF", 165}, {"SaveSpctF", 166},
    {"MkWvPls", 167}, {"MkTone", 168}, {"MkSinWv", 169}, {"HPFltr", 170}, {"HPFltrRC", 171},
    {"LPFltr", 172}, {"FrqChk", 173}, {"AddBkToReal", 174}, {"MixBkToReal", 175},
    {"WaveToMask", 176}, {"WaveWowwow", 177}, {"FreqUp", 178}, {"FreqChg", 179}, {"WvDiff", 180},
    {"WaveBkUp", 181}, {"CopyWvBk", 182}, {"SpectAnalyze", 183},
    // 184-186 windows, messages
    {"ChkWin", 184}, {"PostMsg", 185}, {"PreProc", 186},
    // 187-190 mouse and keys
    {"SetMCur", 187}, {"MouseCtrl", 188}, {"GetMCurScrPos", 189}, {"GetKeyState", 190},
    // 191-203 network, not provided
    {"WSrvStart", 191}, {"WSCtrl", 192}, {"WSrvStop", 193}, {"StartUDP", 194}, {"UDPSend", 195},
    {"GetIPAddr", 196}, {"TCPCmd", 197}, {"TCPSend", 198}, {"SetMailAccnt", 199}, {"SendMail", 200},
    {"GetWebPage", 201}, {"GetNicInfo", 202}, {"GetLocalIP", 203},
    // 204-205 text scrambling
    {"xxEncode", 204}, {"xxDecode", 205},
    // 206-207 mouse and desktop
    {"$Mouse", 206}, {"$DeskTop", 207},
    // 208-271 VRAM drawing
    {"CancelPaint", 208}, {"ClrUdArea", 209}, {"SetUdArea", 210}, {"SetVram", 211},
    {"ExtVram", 212}, {"RectCord", 213}, {"Rectangle", 214}, {"DrawFrame", 215},
    {"DrawFrameRnd", 216}, {"DrawZigZag", 217}, {"DrawSin", 218}, {"DrawSinCurve", 219},
    {"DrawGradWave", 220}, {"DrawArrow", 221}, {"DrawCurveArrow", 222}, {"DrawObj", 223},
    {"Triangle", 224}, {"Soft", 225}, {"AreaSoft", 226}, {"AddRectangle", 227}, {"GetAvrg", 228},
    {"Shadow3D", 229}, {"Shadow3D2", 230}, {"IconArrange", 231}, {"SetIconArrgPrm", 232},
    {"ShapeEdge", 233}, {"GetOutline", 234}, {"ProjectCvt", 235}, {"SphereMap", 236},
    {"LiftRectangle", 237}, {"VGrad", 238}, {"FFill", 239}, {"VRamBack", 240}, {"VRamRestore", 241},
    {"VRamMix", 242}, {"VRamOverlay", 243}, {"ImageNotAnd", 244}, {"MkColSpec", 245},
    {"PrcssColSpec", 246}, {"ColPal2CVB", 247}, {"ColPal2RGB", 248}, {"SetLineVol", 249},
    {"DrawLine", 250}, {"DrawLineBff", 251}, {"PrmLineBff", 252}, {"DrawRound", 253},
    {"DrawCircle", 254}, {"DrawArc", 255}, {"DrawEllipse", 256}, {"SetColor", 257},
    {"SetColorMlt", 258}, {"GetColorMlt", 259}, {"VRamClear", 260}, {"ColorRotate", 261},
    {"DrawText", 262}, {"DrawNumText", 263}, {"TruckText", 264}, {"GetTextSz", 265},
    {"DrawTextAlign", 266}, {"SetFont", 267}, {"SetFontAscii", 268}, {"EnumFont", 269},
    {"MkShadow", 270}, {"DrawForm", 271},
    // 272-290 processes, pipes, windows and time
    {"WinExec", 272}, {"ProcCtrl", 273}, {"PipeStart", 274}, {"PipeWrite", 275}, {"PlaySound", 276},
    {"AnlzWave", 277}, {"SetWindowSize", 278}, {"SetWindowPos", 279}, {"TopWindow", 280},
    {"SetFocus", 281}, {"ShowWindow", 282}, {"ShowOtherWindow", 283}, {"GetVexmoraWinList", 284},
    {"CtrlWindow", 285}, {"GetMilCnt", 286}, {"GetTime", 287}, {"GetDate", 288},
    {"GetDateStr", 289}, {"CalcTmCard", 290},
    // 291-317 display, images and click areas
    {"DoDraw", 291}, {"SetLooseMSK", 292}, {"DoLooseFocus", 293}, {"LooseFocusSp", 294},
    {"LoadBMPImage", 295}, {"LoadImage", 296}, {"GetBMPSize", 297}, {"RefBMPSize", 298},
    {"LoadBMPFill", 299}, {"LoadBMPMask", 300}, {"OutBMPImage", 301}, {"Out16BitImage", 302},
    {"GetScreenShot", 303}, {"ClipBdToVRam", 304}, {"VRamToClipBd", 305}, {"GetPx", 306},
    {"SetPx", 307}, {"SetGradMV", 308}, {"GetGradMV", 309}, {"SetClcPnt", 310}, {"GetClcPnt", 311},
    {"RefClcPnt", 312}, {"RefClcPntEx", 313}, {"NearClcPnt", 314}, {"DelClcPnt", 315},
    {"DrawIcon", 316}, {"RefIconName", 317},
    // 318-327 image analysis
    {"RectCnv", 318}, {"ScanArea", 319}, {"ScanLoaf", 320}, {"ScanLine", 321}, {"ManageParts", 322},
    {"ColHistogram", 323}, {"CmpImage", 324}, {"AnalyzeRect", 325}, {"PixelToWave", 326},
    {"ImgProcess", 327},
    // 328-342 dialogs
    {"OpenDialog", 328}, {"InputDialog", 329}, {"SetDialogPrm", 330}, {"InputDialogHoli", 331},
    {"Prm1Dialog", 332}, {"EditDialog", 333}, {"DigitDialog", 334}, {"MsgBx", 335},
    {"ColorDialog", 336}, {"SpeedMenu", 337}, {"ListSelect", 338}, {"ListSelectStr", 339},
    {"CatListSelect", 340}, {"ListSelectSArray", 341}, {"SetFontSize", 342},
    // 343-347 printing
    {"PrtStart", 343}, {"PrtNextPage", 344}, {"PrtEndPage", 345}, {"PrtGFg", 346},
    {"SetPrtScreen", 347},
    // 348-351 files
    {"DeleteF", 348}, {"RmvDir", 349}, {"CopyF", 350}, {"SizeF", 351},
    // 352-380 image processing and JPEG
    {"RGBPCpy", 352}, {"VRamMulti", 353}, {"MaskCopy", 354}, {"SetPicture", 355},
    {"PutPicture", 356}, {"RotateImg", 357}, {"Circular", 358}, {"PlaneExpand", 359},
    {"PlaneShift", 360}, {"ZoomDnImg", 361}, {"InstantZoom", 362}, {"RotateMskdImg", 363},
    {"RotateMskdShdw", 364}, {"SetExGrPrm", 365}, {"CopyRect", 366}, {"ColProcess", 367},
    {"ReduceCol", 368}, {"ThreCol", 369}, {"GetOneClrArea", 370}, {"GetClrRangeArea", 371},
    {"BankLoadFile", 372}, {"BankBackFile", 373}, {"ZoomWdHt", 374}, {"ZoomUpWdHt", 375},
    {"ZoomContinuous", 376}, {"RefractImg", 377}, {"LoadJpg", 378}, {"JpgSize", 379},
    {"SaveJpg", 380},
    // 381-386 serial ports
    {"ChkCOM", 381}, {"SttCOM", 382}, {"RstCOM", 383}, {"SetComSig", 384}, {"GetComSig", 385},
    {"CalcCRC", 386},
    // 387-405 folders, files and saved values
    {"GetCurDir", 387}, {"ChgCurDir", 388}, {"CrtLnk", 389}, {"NewFName", 390}, {"MkDir", 391},
    {"MkFileLst", 392}, {"GetFileTime", 393}, {"GetValue", 394}, {"SetValue", 395},
    {"CtrlStepTimer", 396}, {"ScreenShift", 397}, {"RefDrgFn", 398}, {"FSkipPg", 399},
    {"FileGetLine", 400}, {"FSeek", 401}, {"ReadBin", 402}, {"UpdateActLog", 403},
    {"SaveValues", 404}, {"LoadValues", 405},
    // 406-411 speech
    {"GetSpchStat", 406}, {"Speech", 407}, {"ClrSpeech", 408}, {"SetSpeechPrm", 409},
    {"VoiceChange", 410}, {"VoiceList", 411},
    // 412-414 bits
    {"BitTest", 412}, {"BitSet", 413}, {"BitLogic", 414},
    // 415-432 MIDI and music
    {"ToneLocation", 415}, {"MIDISend", 416}, {"MIDIVol", 417}, {"MIDIRef", 418}, {"MscMain", 419},
    {"MscBldCode", 420}, {"MscAnalize", 421}, {"MscAddScore", 422}, {"MscDelScore", 423},
    {"MscRefScore", 424}, {"MscSrtScore", 425}, {"MscModScore", 426}, {"MscScoreCmd", 427},
    {"MscMkSeq", 428}, {"MscRefSeq", 429}, {"MscSeqTempo", 430}, {"MscAuto", 431},
    {"MscMkSMF", 432},
    // 433 string calculation
    {"CalcStr", 433},
    // 434-447 vectors and matrices
    {"VScrew", 434}, {"VElem", 435}, {"VSetMtx", 436}, {"VGetMtx", 437}, {"VRevMtx", 438},
    {"VArryRW", 439}, {"VArryFnc", 440}, {"VValMtx", 441}, {"VAddMtx", 442}, {"VMulMtx", 443},
    {"VRotMtx", 444}, {"VRotVec", 445}, {"VVecAng", 446}, {"VMtxVec", 447},
    // 448-506 polygons
    {"PolygonDebug", 448}, {"PolygonFunc", 449}, {"SetLight", 450}, {"MoveLight", 451},
    {"GetLightPos", 452}, {"ClrPgn", 453}, {"AddPgn", 454}, {"SetPgn", 455}, {"SetPgnTexture", 456},
    {"SetPgnExData", 457}, {"GetPgnExData", 458}, {"SearchPgn", 459}, {"GetMaxMinPgn", 460},
    {"MkBoxPgn", 461}, {"MkMeshPgn", 462}, {"MkBallPgn", 463}, {"MkTubePgn", 464},
    {"MkCylinder", 465}, {"Dsp2DPgn", 466}, {"ScrPgn", 467}, {"ScrPgnPgn", 468}, {"AnglePgn", 469},
    {"MrrPgn", 470}, {"MdfyPgn", 471}, {"FitPlanePgn", 472}, {"FitTubePgn", 473},
    {"FitColumnPgn", 474}, {"FitSpherePgn", 475}, {"FitSaucerPgn", 476}, {"BendPgn", 477},
    {"ShrinkPgn", 478}, {"BoomPgn", 479}, {"PlateStretchPgn", 480}, {"SlideSpherePgn", 481},
    {"PrtShapePgn", 482}, {"VSizePgn", 483}, {"LctPgn", 484}, {"MovPgn", 485}, {"MovPgnPgn", 486},
    {"JointPgn", 487}, {"CpyPgn", 488}, {"SetPgnParts", 489}, {"GetPgnParts", 490},
    {"LoadPgn", 491}, {"OutPgn", 492}, {"PutPgn", 493}, {"BarnPgn", 494}, {"ColChgPgn", 495},
    {"ReducePgn", 496}, {"DeletePgn", 497}, {"DrwAllPgn", 498}, {"InitPgnDraw", 499},
    {"ChgDrwPrmPgn", 500}, {"DrwPgn", 501}, {"GetPgn", 502}, {"SetMapOrgPgn", 503},
    {"SetMapZoomPgn", 504}, {"GetPgnIdx", 505}, {"Set2DDpth", 506},
    // 507-514 blocks
    {"BlkAppInit", 507}, {"BlkAppPrcss", 508}, {"BlkAppLimit", 509}, {"BlkListApi", 510},
    {"BlkSetStep", 511}, {"BlkGetStep", 512}, {"BlkGetSize", 513}, {"BlkCnvPhiTs", 514},
    // 515-530 sensors, video and camera
    {"SensorCmd", 515}, {"CrtVideoWin", 516}, {"VideoInit", 517}, {"DtryVideoWin", 518},
    {"SetVideoPrm", 519}, {"CameraCtrl", 520}, {"VideoVramOff", 521}, {"VideoCapture", 522},
    {"GetVideoInfo", 523}, {"GetVideoStat", 524}, {"VideoDlg", 525}, {"VideoFile", 526},
    {"MtuCamera", 527}, {"MtuCameraBySerial", 528}, {"GetClientSz", 529}, {"GetWindowSz", 530},
    // 531-538 3D levels, keys, events
    {"PolSet3DLvlVect", 531}, {"PolSet3DLvlCol", 532}, {"PolSetShadow", 533}, {"KeyEvent", 534},
    {"GetWinVer", 535}, {"ChkExist", 536}, {"PostEvent", 537}, {"PostEventExt", 538},
    // 539-559 PCB patterns
    {"CtSetPrm", 539}, {"CtMkSilk", 540}, {"CtLoadPtn", 541}, {"CtDrawPtn", 542},
    {"CtGetDimSz", 543}, {"CtGetLyrSz", 544}, {"CtActLyr", 545}, {"CtSetLyrCol", 546},
    {"CtPutVia", 547}, {"CtMkBeta", 548}, {"CtSetBetaPrm", 549}, {"CtPinToNet", 550},
    {"CtRefPin", 551}, {"CtRefPinName", 552}, {"CtRefSeg", 553}, {"CtClckPtn", 554},
    {"CtDRCMin", 555}, {"CtDRC", 556}, {"CtOutGbr", 557}, {"CtOutDLst", 558}, {"CtDebug", 559},
    // 560-576 recognition
    {"MkBCD", 560}, {"RcgSet", 561}, {"RcgArea", 562}, {"RcgCcl", 563}, {"RcgScanOL", 564},
    {"RcgReg", 565}, {"RcgSearch", 566}, {"RcgGet", 567}, {"RcgDebug", 568}, {"RcgBCD", 569},
    {"QRPrePrc", 570}, {"QRRead", 571}, {"RcgCarNbr", 572}, {"CarNbrRslt", 573}, {"CarNbrDbg", 574},
    {"CarNbrIntrNtnl", 575}, {"SRecord", 576},
    // 577-583 not provided
    {"SMPT_setprm", 577}, {"SMPT_INI_SIM", 578}, {"SMPT_SET_MPOS", 579}, {"SMPT_DSPACT", 580},
    {"SMPT_sim10", 581}, {"SMPT_sim1", 582}, {"SMPT_slope", 583},
    // 584-595 sentence library
    {"SL_LoadLib", 584}, {"SL_Conv", 585}, {"SL_RefLib", 586}, {"SL_ScanLib", 587},
    {"SL_LoadBand", 588}, {"SL_BandCmd", 589}, {"SL_F_Clear", 590}, {"SL_F_Get", 591},
    {"SL_F_Set", 592}, {"SL_F_SetSC", 593}, {"SL_F_Generate", 594}, {"SL_Debug", 595},
    // 596-597 rays, debugging
    {"SpRays", 596}, {"DebugFunc", 597},
    // 598-601 additions: whole fields of the wave simulation
    {"GetSimField", 598}, {"SetSimField", 599}, {"S2GetField", 600}, {"S2SetField", 601},

}};

namespace detail {
// Not constexpr on purpose: reaching it in a constant evaluation stops the
// build, which is how Id() rejects a name that is not in the table.
void NoApiOfThisName();
}  // namespace detail

// The id of an API name, evaluated while compiling.
consteval int Id(std::string_view name) {
  for (const ApiEntry& entry : kApiEntries) {
    if (entry.name == name) return entry.id;
  }
  detail::NoApiOfThisName();
  return 0;
}

}  // namespace vx::api
