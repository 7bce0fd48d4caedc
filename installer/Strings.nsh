; The installer's own texts, in both languages it speaks (MUI supplies the rest).

LangString ManagerRunning ${LANG_ENGLISH} "Tessavue Manager is running. Close it, then run this program again."
LangString ManagerRunning ${LANG_JAPANESE} "Tessavue Manager が実行中です。終了してから、もう一度このプログラムを実行してください。"

LangString RegisterFailed ${LANG_ENGLISH} "The camera filter could not be registered (regsvr32 exit code $0). Video-call applications will not list Tessavue Filter."
LangString RegisterFailed ${LANG_JAPANESE} "カメラ フィルターを登録できませんでした (regsvr32 の終了コード $0)。ビデオ通話アプリに Tessavue Filter は表示されません。"

LangString RemoveSettings ${LANG_ENGLISH} "Also remove your settings (Tessavue.ini and the placement files)?"
LangString RemoveSettings ${LANG_JAPANESE} "設定 (Tessavue.ini と配置ファイル) も削除しますか?"

LangString StartManager ${LANG_ENGLISH} "Start Tessavue Manager"
LangString StartManager ${LANG_JAPANESE} "Tessavue Manager を起動する"

LangString PictureTitle ${LANG_ENGLISH} "Camera picture"
LangString PictureTitle ${LANG_JAPANESE} "カメラの映像"

LangString PictureSubtitle ${LANG_ENGLISH} "Choose the size and frame rate that the camera offers."
LangString PictureSubtitle ${LANG_JAPANESE} "カメラが提供する大きさとフレームレートを選んでください。"

LangString PictureIntro ${LANG_ENGLISH} "Browser-based call applications (Chrome, Edge, Teams, Meet, Discord, Slack) open the camera with exactly this picture. It can be changed later in section Video of Tessavue.ini."
LangString PictureIntro ${LANG_JAPANESE} "ブラウザーで動く通話アプリ (Chrome、Edge、Teams、Meet、Discord、Slack) は、カメラをこの映像のまま開きます。あとから Tessavue.ini の Video セクションで変えられます。"

LangString Picture1 ${LANG_ENGLISH} "1280 x 720, 30 fps (recommended for video calls)"
LangString Picture1 ${LANG_JAPANESE} "1280 x 720、30 fps (ビデオ通話におすすめ)"
LangString Picture2 ${LANG_ENGLISH} "1920 x 1080, 30 fps"
LangString Picture2 ${LANG_JAPANESE} "1920 x 1080、30 fps"
LangString Picture3 ${LANG_ENGLISH} "640 x 480, 30 fps"
LangString Picture3 ${LANG_JAPANESE} "640 x 480、30 fps"
LangString Picture4 ${LANG_ENGLISH} "1024 x 768, 15 fps (the program's built-in default)"
LangString Picture4 ${LANG_JAPANESE} "1024 x 768、15 fps (プログラムの既定値)"
LangString Picture5 ${LANG_ENGLISH} "Keep the current setting: $FileWidth x $FileHeight, $FileRate fps"
LangString Picture5 ${LANG_JAPANESE} "現在の設定のまま: $FileWidth x $FileHeight、$FileRate fps"

LangString PictureOptionRefused ${LANG_ENGLISH} "The picture must be given as /VIDEO=WIDTHxHEIGHT@FPS, for example /VIDEO=1280x720@30: width and height from 1 to 4096, a whole number of frames per second from 1 to 120, digits only. Nothing was installed."
LangString PictureOptionRefused ${LANG_JAPANESE} "映像は /VIDEO=幅x高さ@FPS の形で指定してください (例: /VIDEO=1280x720@30)。幅と高さは 1 から 4096、フレームレートは 1 から 120 の整数で、数字だけを使います。何もインストールしていません。"

LangString AutoStartText ${LANG_ENGLISH} "Start Tessavue Manager when I sign in"
LangString AutoStartText ${LANG_JAPANESE} "サインイン時に Tessavue Manager を起動する"
