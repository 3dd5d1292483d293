// Command identifiers of menu 128 and the frame's controls.
#pragma once

namespace cmd {
inline constexpr int MeetingHistory = 32771;  // "미팅 내역"
inline constexpr int ManagePeople = 32772;    // "사람 관리"
inline constexpr int ManageAppointments = 32773;  // "약속 관리"
inline constexpr int TodaySettings = 32813;   // "Today 설정"
inline constexpr int ImportPocketContacts = 32818;
inline constexpr int ImportExpressContacts = 32819;  // greyed
inline constexpr int Exit = 32787;            // "끝내기"
inline constexpr int EditAppointment = 32802;
inline constexpr int DeleteAppointment = 32821;
inline constexpr int NewAppointment = 32800;  // "새 약속"
inline constexpr int ManageAnniversaries = 32822;
inline constexpr int PersonDetails = 32798;   // "자세히 보기"
inline constexpr int EditPerson = 32799;      // "편집"
inline constexpr int DeletePerson = 32794;    // "삭제"
inline constexpr int EditAnniversary = 32823;
inline constexpr int DeleteAnniversary = 32820;
inline constexpr int DeleteParticipant = 32825;
}  // namespace cmd

namespace ctl {
inline constexpr int CommandBar = 0xE800;  // 59392
inline constexpr int DialogBar = 128;
inline constexpr int ShowTaskBarButton = 1088;  // "TT"
inline constexpr int AppMenuButton = 1090;
inline constexpr int ScheduleTabs = 40000;
}  // namespace ctl

// The program's own window messages.
inline constexpr int WM_APP_MENU = 0x401;  // open the File popup at (x, 26)
