#include "net/commands.h"

namespace cmd {

const char* command_name(std::uint32_t id) {
    switch (id) {
        case Control_Login_Req: return "Control_Login_Req";
        case Control_Login_Resp: return "Control_Login_Resp";
        case Control_Silent_Resp: return "Control_Silent_Resp";
        case Control_Logout_Req: return "Control_Logout_Req";
        case Control_Logout_Resp: return "Control_Logout_Resp";
        case Control_Open_Mic_Req: return "Control_Open_Mic_Req";
        case Control_Open_Mic_Resp: return "Control_Open_Mic_Resp";
        case Control_Close_Mic_Req: return "Control_Close_Mic_Req";
        case Control_Close_Mic_Resp: return "Control_Close_Mic_Resp";
        case Control_Send_Chat_Req: return "Control_Send_Chat_Req";
        case Control_Get_UserCount_Resp: return "Control_Get_UserCount_Resp";
        case Control_Set_Power_Req: return "Control_Set_Power_Req";
        case Control_Set_Power_Resp: return "Control_Set_Power_Resp";
        case Control_Gag_Req: return "Control_Gag_Req";
        case Control_Gag_Resp: return "Control_Gag_Resp";
        case Control_Cancel_Gag_Req: return "Control_Cancel_Gag_Req";
        case Control_Cancel_Gag_Resp: return "Control_Cancel_Gag_Resp";
        case Control_Set_Room_Mode_Req: return "Control_Set_Room_Mode_Req";
        case Control_Set_Room_Mode_Resp: return "Control_Set_Room_Mode_Resp";
        case Control_Set_User_Mic_Req: return "Control_Set_User_Mic_Req";
        case Control_Set_User_Mic_Resp: return "Control_Set_User_Mic_Resp";
        case Control_Set_Room_Info_Req: return "Control_Set_Room_Info_Req";
        case Control_Set_Room_Info_Resp: return "Control_Set_Room_Info_Resp";
        case Control_Get_Room_Info_Req: return "Control_Get_Room_Info_Req";
        case Control_Get_Room_Info_Resp: return "Control_Get_Room_Info_Resp";
        case Control_Rob_Wheat_Req: return "Control_Rob_Wheat_Req";
        case Control_Rob_Wheat_Resp: return "Control_Rob_Wheat_Resp";
        case Control_Put_Wheat_Req: return "Control_Put_Wheat_Req";
        case Control_Put_Wheat_Resp: return "Control_Put_Wheat_Resp";
        case Control_Control_Wheat_Req: return "Control_Control_Wheat_Req";
        case Control_Control_Wheat_Resp: return "Control_Control_Wheat_Resp";
        case Control_Disable_Wheat_Req: return "Control_Disable_Wheat_Req";
        case Control_Disable_Wheat_Resp: return "Control_Disable_Wheat_Resp";
        case Control_Add_WheatTm_Req: return "Control_Add_WheatTm_Req";
        case Control_Add_WheatTm_Resp: return "Control_Add_WheatTm_Resp";
        case Control_Remove_Wheat_Req: return "Control_Remove_Wheat_Req";
        case Control_Remove_Wheat_Resp: return "Control_Remove_Wheat_Resp";
        case Control_RemoveAll_Wheat_Req: return "Control_RemoveAll_Wheat_Req";
        case Control_RemoveAll_Wheat_Resp: return "Control_RemoveAll_Wheat_Resp";
        case Control_Top_Wheat_Req: return "Control_Top_Wheat_Req";
        case Control_Top_Wheat_Resp: return "Control_Top_Wheat_Resp";
        case Control_Power_Notify: return "Control_Power_Notify";
        case Control_Gag_Notify: return "Control_Gag_Notify";
        case Control_Cancel_Gag_Notify: return "Control_Cancel_Gag_Notify";
        case Control_Push_Data_Notify: return "Control_Push_Data_Notify";
        case Control_Room_Mode_Notify: return "Control_Room_Mode_Notify";
        case Control_Wheat_List_Notify: return "Control_Wheat_List_Notify";
        case Control_User_Login_Notify: return "Control_User_Login_Notify";
        case Control_User_Logout_Notify: return "Control_User_Logout_Notify";
        case Control_Login_Other_Notify: return "Control_Login_Other_Notify";
        case Control_Room_UserList_Notify: return "Control_Room_UserList_Notify";
        case Control_Chat_Notify: return "Control_Chat_Notify";
        case Control_Anchor_Notify: return "Control_Anchor_Notify";
        case Control_Kick_Notify: return "Control_Kick_Notify";
        case Control_Kick_Req: return "Control_Kick_Req";
        case Control_Kick_Resp: return "Control_Kick_Resp";
        case Video_Login_Req: return "Video_Login_Req";
        case Video_Login_Resp: return "Video_Login_Resp";
        case Video_Silent_Resp: return "Video_Silent_Resp";
        case Video_Logout_Req: return "Video_Logout_Req";
        case Video_Logout_Resp: return "Video_Logout_Resp";
        case Video_Room_Mode_Notify: return "Video_Room_Mode_Notify";
        case Video_Data: return "Video_Data";
        case Video_Data_Notify: return "Video_Data_Notify";
        case Mix_Login_Req: return "Mix_Login_Req";
        case Mix_Login_Resp: return "Mix_Login_Resp";
        case Mix_Logout_Req: return "Mix_Logout_Req";
        case Mix_Logout_Resp: return "Mix_Logout_Resp";
        case Mix_Open_Mic_Req: return "Mix_Open_Mic_Req";
        case Mix_Open_Mic_Resp: return "Mix_Open_Mic_Resp";
        case Mix_Audio_Data: return "Mix_Audio_Data";
        case Audio_Aac_Notify: return "Audio_Aac_Notify";
        case Audio_Amr_Notify: return "Audio_Amr_Notify";
        case Mix_Aac_Notify: return "Mix_Aac_Notify";
        case Mix_Amr_Notify: return "Mix_Amr_Notify";
        default: return nullptr;
    }
}

}  // namespace cmd
