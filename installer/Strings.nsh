; The installer's own texts, in both languages it speaks (MUI supplies the rest).

LangString ManagerRunning ${LANG_ENGLISH} "Tessavue Manager is running. Close it, then run this program again."
LangString ManagerRunning ${LANG_JAPANESE} "Tessavue Manager が実行中です。終了してから、もう一度このプログラムを実行してください。"

LangString RegisterFailed ${LANG_ENGLISH} "The camera filter could not be registered (regsvr32 exit code $0). Video-call applications will not list Tessavue Filter."
LangString RegisterFailed ${LANG_JAPANESE} "カメラ フィルターを登録できませんでした (regsvr32 の終了コード $0)。ビデオ通話アプリに Tessavue Filter は表示されません。"

LangString RemoveSettings ${LANG_ENGLISH} "Also remove your settings (Tessavue.ini and the placement files)?"
LangString RemoveSettings ${LANG_JAPANESE} "設定 (Tessavue.ini と配置ファイル) も削除しますか?"

LangString StartManager ${LANG_ENGLISH} "Start Tessavue Manager"
LangString StartManager ${LANG_JAPANESE} "Tessavue Manager を起動する"
