' Both control classes scripted by VBScript under cscript, without a window:
' every member with literals and with variables, and the errors a script sees;
' the published members are run against each class, then the board class's own.
' Prints "N passed, N failed" last and exits with the number of failures; an
' error nobody catches would end cscript silently, so the test also requires
' that last line.
Option Explicit
On Error Resume Next

Dim passed, failed, scope
passed = 0
failed = 0
scope = ""

Sub Pass(what, ok, detail)
    If ok Then
        passed = passed + 1
    Else
        failed = failed + 1
        WScript.Echo "FAILED: " & scope & what & " (" & detail & ")"
    End If
End Sub

' The statement before ran without an error.
Sub CheckNoError(what)
    Pass what, Err.Number = 0, "error " & Err.Number & " " & Err.Description
    Err.Clear
End Sub

Sub CheckEqual(what, actual, expected)
    Dim ok
    ok = (Err.Number = 0)
    If ok Then ok = (actual = expected)
    Pass what, ok, "got " & actual & ", expected " & expected & ", error " & Err.Number & " " & Err.Description
    Err.Clear
End Sub

' The statement before failed with this number and description.
Sub CheckError(what, number, description)
    Pass what, Err.Number = number And Err.Description = description, _
         "got error " & Err.Number & " """ & Err.Description & """, expected " & number & " """ & description & """"
    Err.Clear
End Sub

Const BadSquare = -2147221503
Const BadSquareRead = -2147220454
Const InvalidSquareText = "Invalid column or row"

Dim b, c, r, k, x, code, row, col, p, saved, d, toCol, toRow
' Everything the published class does, the board class does the same way.
Sub RunPublished(progId)
    On Error Resume Next
    scope = progId & ": "
    Set b = CreateObject(progId)
    CheckNoError "CreateObject(""" & progId & """)"
    If Not IsObject(b) Then
        WScript.Echo "FAILED: no control " & progId
        WScript.Echo passed & " passed, " & (failed + 1) & " failed"
        WScript.Quit failed + 1
    End If

    ' ---- a new control -----------------------------------------------------------
    CheckEqual "Enabled of a new control", b.Enabled, True
    Dim emptyCount
    emptyCount = 0
    For r = 1 To 8
        For c = 1 To 8
            If b.Piece(c, r) = 1 And b.IsSelected(c, r) = False Then emptyCount = emptyCount + 1
        Next
    Next
    CheckEqual "empty, unselected squares of a new control", emptyCount, 64

    ' ---- starting position ------------------------------------------------------------
    b.NewGame
    CheckNoError "NewGame"
    Dim start(8)
    start(1) = Array(3, 4, 5, 6, 7, 5, 4, 3)
    start(2) = Array(2, 2, 2, 2, 2, 2, 2, 2)
    start(3) = Array(1, 1, 1, 1, 1, 1, 1, 1)
    start(4) = start(3)
    start(5) = start(3)
    start(6) = start(3)
    start(7) = Array(8, 8, 8, 8, 8, 8, 8, 8)
    start(8) = Array(9, 10, 11, 12, 13, 11, 10, 9)
    For row = 1 To 8
        For col = 1 To 8
            CheckEqual "Piece(" & col & ", " & row & ") after NewGame", b.Piece(col, row), start(row)(col - 1)
        Next
    Next

    ' ---- literals and variables of every kind ------------------------------------------
    CheckEqual "Piece with Integer literals", b.Piece(4, 1), 6
    c = 4 : r = 1
    CheckEqual "Piece with Integer variables", b.Piece(c, r), 6
    c = CLng(5) : r = CLng(8)
    CheckEqual "Piece with Long variables", b.Piece(c, r), 13
    c = 5.0 : r = 1.0
    CheckEqual "Piece with Double variables", b.Piece(c, r), 7
    c = "4" : r = "8"
    CheckEqual "Piece with String variables", b.Piece(c, r), 12
    CheckEqual "Piece with a String literal", b.Piece("1", 8), 9
    CheckEqual "Piece with a Byte variable", b.Piece(CByte(2), CByte(2)), 2
    CheckEqual "variables after the calls", c & "," & r, "4,8"

    ' ---- moves and captures -------------------------------------------------------------
    b.MovePiece 5, 7, 5, 5
    CheckNoError "MovePiece 5, 7, 5, 5"
    CheckEqual "moved pawn on (5, 5)", b.Piece(5, 5), 8
    CheckEqual "(5, 7) empty after the move", b.Piece(5, 7), 1
    c = 4 : r = 8 : toCol = 4 : toRow = 2
    b.MovePiece c, r, toCol, toRow
    CheckNoError "MovePiece with variables (a capture)"
    CheckEqual "queen on (4, 2)", b.Piece(4, 2), 12
    CheckEqual "(4, 8) empty", b.Piece(4, 8), 1
    CheckEqual "MovePiece left its variables alone", c & r & toCol & toRow, "4842"
    Call b.MovePiece(1, 1, 1, 1)
    CheckEqual "a piece moved onto its own square is gone", b.Piece(1, 1), 1

    ' ---- Piece writer -------------------------------------------------------------------
    b.Piece(3, 3) = 6
    CheckEqual "Piece(3, 3) = 6", b.Piece(3, 3), 6
    c = 6 : r = 6 : code = 13
    b.Piece(c, r) = code
    CheckEqual "Piece(c, r) = code", b.Piece(c, r), 13
    b.Piece(c, r) = 1
    CheckEqual "Piece(c, r) = None", b.Piece(c, r), 1
    b.Piece(7, 7) = 14
    CheckEqual "the dark square image as a piece", b.Piece(7, 7), 14

    ' ---- selection ----------------------------------------------------------------------
    b.SelectSquare 2, 2
    CheckNoError "SelectSquare 2, 2"
    CheckEqual "IsSelected(2, 2)", b.IsSelected(2, 2), True
    c = 8 : r = 8
    b.SelectSquare c, r
    CheckEqual "IsSelected(c, r)", b.IsSelected(c, r), True
    b.UnSelectSquare 2, 2
    CheckEqual "IsSelected(2, 2) after UnSelectSquare", b.IsSelected(2, 2), False
    b.Piece(8, 8) = 5
    CheckEqual "a write keeps the selection flag", b.IsSelected(8, 8), True

    ' ---- Enabled ------------------------------------------------------------------------
    b.Enabled = False
    CheckEqual "Enabled = False", b.Enabled, False
    x = True
    b.Enabled = x
    CheckEqual "Enabled = x", b.Enabled, True

    ' ---- pictures -----------------------------------------------------------------------
    Set p = b.Picture(3)
    CheckNoError "Picture(3)"
    CheckEqual "a picture object", IsObject(p), True
    CheckEqual "Picture(3) is a bitmap", p.Type, 1
    CheckEqual "Picture(3) is 37 pixels wide", Round(p.Width * 96 / 2540), 37
    CheckEqual "the same picture every time", b.Picture(3) Is p, True
    Set saved = b.Picture(2)
    Set b.Picture(2) = b.Picture(3)
    CheckNoError "Set b.Picture(2) = b.Picture(3)"
    CheckEqual "Picture(2) is now Picture(3)", b.Picture(2) Is b.Picture(3), True
    CheckEqual "Picture(2) is no longer the old one", b.Picture(2) Is saved, False
    k = 2
    Set b.Picture(k) = saved
    CheckEqual "Set b.Picture(k) = saved puts it back", b.Picture(k) Is saved, True
    k = 14
    CheckEqual "Picture(14) with a variable", b.Picture(k).Type, 1
    CheckEqual "codes still stand for the same pieces", b.Piece(1, 2), 2

    ' ---- board size --------------------------------------------------------------------
    b.ChangeBoardSize 400
    CheckNoError "ChangeBoardSize 400"
    d = 296
    b.ChangeBoardSize d
    CheckNoError "ChangeBoardSize d"
    CheckEqual "the board model survives a resize", b.Piece(5, 5), 8

    ' ---- errors --------------------------------------------------------------------------
    x = b.Piece(0, 1)
    Pass "the error's source", Err.Source = progId, "got " & Err.Source
    CheckError "Piece(0, 1)", BadSquareRead, InvalidSquareText
    x = b.Piece(1, 9)
    CheckError "Piece(1, 9)", BadSquareRead, InvalidSquareText
    b.Piece(9, 1) = 2
    CheckError "Piece(9, 1) = 2", BadSquare, InvalidSquareText
    x = b.IsSelected(-1, 1)
    CheckError "IsSelected(-1, 1)", BadSquare, InvalidSquareText
    b.SelectSquare 1, 0
    CheckError "SelectSquare 1, 0", BadSquare, InvalidSquareText
    c = 32767
    b.UnSelectSquare c, 1
    CheckError "UnSelectSquare 32767, 1", BadSquare, InvalidSquareText
    b.MovePiece 5, 5, 5, 9
    CheckError "MovePiece to (5, 9)", BadSquare, InvalidSquareText
    CheckEqual "a refused move moves nothing", b.Piece(5, 5), 8

    x = b.Piece(40000, 1)
    CheckError "Piece(40000, 1)", 6, "Overflow"
    c = -32769
    b.SelectSquare c, 1
    CheckError "SelectSquare -32769, 1", 6, "Overflow"
    b.Piece(1, 1) = 70000
    CheckError "Piece(1, 1) = 70000", 6, "Overflow"
    b.ChangeBoardSize 3000000000
    CheckError "ChangeBoardSize 3000000000", 6, "Overflow"
    CheckEqual "an overflowing write changes nothing", b.Piece(1, 1), 1

    Set p = b.Picture(15)
    CheckError "Picture(15)", 35600, "Index out of bounds"
    Set p = b.Picture(0)
    CheckError "Picture(0)", 35600, "Index out of bounds"
    b.Piece(2, 4) = 15
    CheckError "Piece(2, 4) = 15", 35600, "Index out of bounds"
    CheckEqual "a code without an image is not stored", b.Piece(2, 4), 1
    Set b.Picture(20) = saved
    CheckError "Set Picture(20)", 35600, "Index out of bounds"
    Set b.Picture(2) = Nothing
    CheckError "Set Picture(2) = Nothing", 380, "Invalid property value"
    CheckEqual "a refused picture keeps the old one", b.Picture(2) Is saved, True

    b.ChangeBoardSize -1
    CheckError "ChangeBoardSize -1", 380, "Invalid property value"
    b.ChangeBoardSize 32767
    CheckError "ChangeBoardSize 32767, squares of 4 GiB", 7, "Out of memory"
    x = b.Piece("one", 1)
    CheckError "Piece(""one"", 1)", 13, "Type mismatch"
    x = b.Piece(Null, 1)
    CheckError "Piece(Null, 1)", 13, "Type mismatch"
    b.SelectSquare 1
    CheckError "SelectSquare with one argument", 450, "Wrong number of arguments or invalid property assignment"
    b.Castle
    CheckError "a member the control does not have", 438, "Object doesn't support this property or method"

    ' ---- Clear and About ------------------------------------------------------------------
    b.Clear
    CheckNoError "Clear"
    CheckEqual "Piece(5, 5) after Clear", b.Piece(5, 5), 1
    CheckEqual "Clear leaves the selection flags", b.IsSelected(8, 8), True
    b.About
    CheckNoError "About"

    Set b = Nothing
    CheckNoError "releasing the control"
End Sub

RunPublished "QuelderLib.Quelder"
RunPublished "QuelderLib.QuelderBoard"
scope = ""

' ---- the board class's own members ---------------------------------------------------
Const StartPlacement = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR"
Set b = CreateObject("QuelderLib.Quelder")
x = b.Position
CheckError "the published class has no Position", 438, "Object doesn't support this property or method"
Set b = CreateObject("QuelderLib.QuelderBoard")
CheckEqual "Position of a new board", b.Position, "8/8/8/8/8/8/8/8"
b.NewGame
CheckEqual "Position after NewGame", b.Position, StartPlacement
b.SelectSquare 5, 7
b.Position = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1"
CheckEqual "Position let with a whole FEN record", b.Position, "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR"
CheckEqual "the pawn it moved", b.Piece(5, 5) & "," & b.Piece(5, 7), "8,1"
CheckEqual "Position let leaves the selection", b.IsSelected(5, 7), True
Dim badPositions, fault
badPositions = Array( _
    Array("8/8/8/8/8/8/8", "8 ranks expected, found 7"), _
    Array("8/8/ppppppppp/8/8/8/8/8", "rank 3 has 9 squares"), _
    Array("8/xppppppp/8/8/8/8/8/8", "unknown piece letter 'x' in rank 2"), _
    Array(String(200, "8"), "placement text longer than 128 characters"))
For Each fault In badPositions
    b.Position = fault(0)
    CheckError "Position = """ & Left(fault(0), 30) & """", 380, fault(1)
Next
CheckEqual "a refused Position changes nothing", b.Position, "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR"
b.Piece(1, 4) = 14
x = b.Position
CheckError "Position get with the dark square image", 380, "column 1, row 4 holds code 14, which has no FEN letter"
b.Piece(1, 4) = 1

CheckEqual "Flipped of a new board", b.Flipped, False
b.Flipped = True
CheckEqual "Flipped = True", b.Flipped, True
CheckEqual "a flipped board names squares as before", b.Piece(1, 1), 3
b.ShowCoordinates = True
CheckEqual "ShowCoordinates = True", b.ShowCoordinates, True
CheckEqual "DragPieces of a new board", b.DragPieces, False
b.DragPieces = 1
CheckEqual "DragPieces = 1", b.DragPieces, True

b.BeginUpdate
b.BeginUpdate
b.NewGame
b.EndUpdate
CheckNoError "nested BeginUpdate, EndUpdate"
b.EndUpdate
CheckNoError "the outermost EndUpdate"
b.EndUpdate
CheckError "EndUpdate without BeginUpdate", 5, "EndUpdate without BeginUpdate"

b.MarkSquare 5, 4, RGB(255, 0, 0)
CheckNoError "MarkSquare"
b.MarkSquare 5, 4, &H80000005
CheckNoError "MarkSquare with a system colour"
b.UnMarkSquare 5, 4
b.ClearMarks
CheckNoError "UnMarkSquare, ClearMarks"
b.DrawArrow 5, 7, 5, 5, vbGreen
b.DrawArrow 2, 8, 3, 6, RGB(0, 0, 255)
CheckNoError "DrawArrow"
b.ClearArrows
CheckNoError "ClearArrows"
Dim i
For i = 1 To 6
    Select Case i
        Case 1 : b.MarkSquare 0, 1, vbRed
        Case 2 : b.MarkSquare 1, 9, vbRed
        Case 3 : b.UnMarkSquare 9, 9
        Case 4 : b.DrawArrow 1, 1, 1, 0, vbRed
        Case 5 : b.DrawArrow -3, 1, 1, 1, vbRed
        Case 6 : b.MarkSquare 1, 1, &H7FFFFFFF
    End Select
    If i = 6 Then
        CheckError "bad colour " & i, 380, "Invalid property value"
    Else
        CheckError "bad square " & i, BadSquare, InvalidSquareText
    End If
Next

' Play: each property reads back what it was given, in its canonical form;
' bad input fails with 380 and changes nothing.
CheckEqual "AnimationTime of a new board", b.AnimationTime, 200
CheckEqual "LegalMoves of a new board", b.LegalMoves, ""
CheckEqual "PromotionPiece out of a drop", b.PromotionPiece, 1
CheckEqual "UserAnnotations of a new board", b.UserAnnotations, True
CheckEqual "TypeMoves of a new board", b.TypeMoves, False
CheckEqual "LightSquareColor of a new board", b.LightSquareColor, RGB(&HF0, &HD9, &HB5)
CheckEqual "DarkSquareColor of a new board", b.DarkSquareColor, RGB(&HB5, &H88, &H63)
b.AnimationTime = 0
b.LegalMoves = " e2e4  g1f3 e7e8q "
b.Annotations = "Ge2e4 Rd4 Bf1c4 Yd4"
b.LastMove = "e2e4"
b.CheckSquare = "e8"
b.UserAnnotations = False
b.TypeMoves = True
b.LightSquareColor = &H80000005
b.DarkSquareColor = RGB(40, 90, 60)
CheckNoError "the play members let"
Dim plays, play
plays = Array( _
    Array("AnimationTime", b.AnimationTime, 0), _
    Array("LegalMoves", b.LegalMoves, "e2e4 g1f3 e7e8q"), _
    Array("Annotations", b.Annotations, "Ge2e4 Bf1c4 Yd4"), _
    Array("LastMove", b.LastMove, "e2e4"), _
    Array("CheckSquare", b.CheckSquare, "e8"), _
    Array("UserAnnotations", b.UserAnnotations, False), _
    Array("TypeMoves", b.TypeMoves, True), _
    Array("LightSquareColor", b.LightSquareColor, &H80000005), _
    Array("DarkSquareColor", b.DarkSquareColor, RGB(40, 90, 60)))
For Each play In plays
    CheckEqual play(0) & " reads back", play(1), play(2)
Next
Dim badPlays
badPlays = Array( _
    Array("AnimationTime = 2001", "Invalid property value"), _
    Array("AnimationTime = -1", "Invalid property value"), _
    Array("LegalMoves = ""e2e4 e9e4""", "'e9e4' is not a move"), _
    Array("LegalMoves = ""e7e8k""", "'e7e8k' is not a move"), _
    Array("Annotations = ""Ge2e4 Xd4""", "'Xd4' is not an annotation"), _
    Array("Annotations = ""Ge2e2""", "'Ge2e2' is not an annotation"), _
    Array("LastMove = ""e2""", "'e2' is not a move"), _
    Array("CheckSquare = ""e9""", "'e9' is not a square"), _
    Array("LightSquareColor = &H7FFFFFFF", "Invalid property value"), _
    Array("DarkSquareColor = &H40000000", "Invalid property value"))
For i = 0 To UBound(badPlays)
    Select Case i
        Case 0 : b.AnimationTime = 2001
        Case 1 : b.AnimationTime = -1
        Case 2 : b.LegalMoves = "e2e4 e9e4"
        Case 3 : b.LegalMoves = "e7e8k"
        Case 4 : b.Annotations = "Ge2e4 Xd4"
        Case 5 : b.Annotations = "Ge2e2"
        Case 6 : b.LastMove = "e2"
        Case 7 : b.CheckSquare = "e9"
        Case 8 : b.LightSquareColor = &H7FFFFFFF
        Case 9 : b.DarkSquareColor = &H40000000
    End Select
    CheckError badPlays(i)(0), 380, badPlays(i)(1)
Next
CheckEqual "refused lets change nothing", b.AnimationTime & "|" & b.LegalMoves & "|" & b.Annotations & "|" & _
    b.LastMove & "|" & b.CheckSquare & "|" & Hex(b.LightSquareColor) & "|" & Hex(b.DarkSquareColor), _
    "0|e2e4 g1f3 e7e8q|Ge2e4 Bf1c4 Yd4|e2e4|e8|80000005|" & Hex(RGB(40, 90, 60))
b.UseWood
CheckEqual "UseWood sets both colours back", Hex(b.LightSquareColor) & "|" & Hex(b.DarkSquareColor), _
    Hex(RGB(&HF0, &HD9, &HB5)) & "|" & Hex(RGB(&HB5, &H88, &H63))
b.LegalMoves = ""
b.LastMove = ""
b.CheckSquare = ""
CheckEqual "empty texts clear", b.LegalMoves & b.LastMove & b.CheckSquare, ""

' Pictures of the board: files in the temp folder, by their extension, and
' none at all where the call fails.
Dim fso, temp, picture, pictures, written
Set fso = CreateObject("Scripting.FileSystemObject")
temp = fso.GetSpecialFolder(2).Path & "\"
pictures = Array( _
    Array("quelder_script.png", Empty, 0, ""), _
    Array("quelder_script.BMP", 200, 0, ""), _
    Array("quelder_script.gif", Empty, 380, "The file's extension names no picture format (.png, .bmp, .jpg)"), _
    Array("quelder_script_small.png", 63, 380, "Invalid property value"), _
    Array("quelder_script_large.png", 4097, 380, "Invalid property value"), _
    Array("quelder_script_word.png", "big", 13, "Type mismatch"), _
    Array("no such folder\quelder_script.png", Empty, 75, "Path/File access error"))
For Each picture In pictures
    If fso.FileExists(temp & picture(0)) Then fso.DeleteFile temp & picture(0)
    If IsEmpty(picture(1)) Then
        b.SaveImage temp & picture(0)
    Else
        b.SaveImage temp & picture(0), picture(1)
    End If
    If picture(2) = 0 Then
        CheckNoError "SaveImage " & picture(0)
        written = -1
        If fso.FileExists(temp & picture(0)) Then written = fso.GetFile(temp & picture(0)).Size
        Pass "SaveImage " & picture(0) & " wrote a file", written > 0, "its size " & written
        fso.DeleteFile temp & picture(0)
    Else
        CheckError "SaveImage " & picture(0) & " at " & picture(1), picture(2), picture(3)
        Pass "SaveImage " & picture(0) & " left no file", Not fso.FileExists(temp & picture(0)), "a file is there"
    End If
Next
b.CopyImage 100
CheckNoError "CopyImage 100"
Set p = b.BoardPicture(128)
CheckEqual "BoardPicture is a bitmap", p.Type, 1
Set p = b.BoardPicture(64000)
CheckError "BoardPicture 64000", 380, "Invalid property value"
b.LoadPieceSet temp & "no such folder"
CheckError "LoadPieceSet from a missing folder", 53, "File not found: " & temp & "no such folder\bP.png"
b.UseBuiltInPieces
CheckNoError "UseBuiltInPieces"
Set b = Nothing

WScript.Echo passed & " passed, " & failed & " failed"
WScript.Quit failed
