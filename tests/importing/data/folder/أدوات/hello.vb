MsgBox "مرحبا"
