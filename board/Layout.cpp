// The board's layout: its window, component tree, properties and events, read when the board
// is created.
#include "board/Form1.h"

namespace board {

const std::string_view kForm1Layout = R"layout(
object Form1: TForm1
  Left = -4
  Top = -4
  BorderIcons = []
  BorderStyle = bsNone
  Caption = 'QX-Nembrolix Vortrane'
  ClientHeight = 433
  ClientWidth = 640
  Color = clBlack
  Font.Charset = SHIFTJIS_CHARSET
  Font.Color = clWindowText
  Font.Height = -12
  Font.Name = 'ＭＳ Ｐゴシック'
  Font.Style = []
  WindowState = wsMaximized
  OnCloseQuery = FormCloseQuery
  OnCreate = FormCreate
  OnDblClick = FormDblClick
  OnMouseMove = FormMouseMove
  PixelsPerInch = 96
  TextHeight = 12
  object Label5: TLabel
    Left = 8
    Top = 8
    Width = 81
    Height = 12
    Alignment = taCenter
    AutoSize = False
    Caption = 'リタイア'
    Color = clGray
    Font.Charset = SHIFTJIS_CHARSET
    Font.Color = clRed
    Font.Height = -12
    Font.Name = 'ＭＳ Ｐゴシック'
    Font.Style = []
    ParentColor = False
    ParentFont = False
    Visible = False
    OnClick = Label5Click
    OnMouseMove = Label5MouseMove
  end
  object Label6: TLabel
    Left = 8
    Top = 24
    Width = 81
    Height = 12
    Alignment = taCenter
    AutoSize = False
    Caption = 'バージョン情報'
    Color = clGray
    Font.Charset = SHIFTJIS_CHARSET
    Font.Color = clRed
    Font.Height = -12
    Font.Name = 'ＭＳ Ｐゴシック'
    Font.Style = []
    ParentColor = False
    ParentFont = False
    Visible = False
    OnClick = Label6Click
    OnMouseMove = Label6MouseMove
  end
  object Label7: TLabel
    Left = 8
    Top = 40
    Width = 81
    Height = 12
    Alignment = taCenter
    AutoSize = False
    Caption = '説明'
    Color = clGray
    Font.Charset = SHIFTJIS_CHARSET
    Font.Color = clRed
    Font.Height = -12
    Font.Name = 'ＭＳ Ｐゴシック'
    Font.Style = []
    ParentColor = False
    ParentFont = False
    Visible = False
    OnClick = Label7Click
    OnMouseMove = Label7MouseMove
  end
  object Panel1: TPanel
    Left = 0
    Top = 0
    Width = 640
    Height = 433
    Align = alClient
    BevelOuter = bvNone
    TabOrder = 0
    object Image1: TImage
      Left = 0
      Top = 0
      Width = 640
      Height = 416
      Align = alClient
      Stretch = True
    end
    object Panel2: TPanel
      Left = 0
      Top = 416
      Width = 640
      Height = 17
      Align = alBottom
      TabOrder = 0
      object Label1: TLabel
        Left = 5
        Top = 2
        Width = 26
        Height = 12
        AutoSize = False
        Caption = 'Click'
        Color = clAqua
        Font.Charset = SHIFTJIS_CHARSET
        Font.Color = clWindowText
        Font.Height = -12
        Font.Name = 'ＭＳ Ｐゴシック'
        Font.Style = []
        ParentColor = False
        ParentFont = False
        Visible = False
        OnMouseDown = Label1MouseDown
      end
    end
  end
  object Panel3: TPanel
    Left = 144
    Top = 40
    Width = 161
    Height = 97
    BevelOuter = bvNone
    TabOrder = 1
    Visible = False
    object Image2: TImage
      Left = 0
      Top = 0
      Width = 161
      Height = 80
      Align = alClient
      Stretch = True
    end
    object Panel4: TPanel
      Left = 0
      Top = 80
      Width = 161
      Height = 17
      Align = alBottom
      TabOrder = 0
      object Label2: TLabel
        Left = 5
        Top = 2
        Width = 26
        Height = 12
        AutoSize = False
        Caption = 'Click'
        Color = clYellow
        Font.Charset = SHIFTJIS_CHARSET
        Font.Color = clBlack
        Font.Height = -12
        Font.Name = 'ＭＳ Ｐゴシック'
        Font.Style = []
        ParentColor = False
        ParentFont = False
        OnMouseDown = Label2MouseDown
      end
    end
  end
  object Panel5: TPanel
    Left = 144
    Top = 144
    Width = 137
    Height = 81
    BevelOuter = bvNone
    TabOrder = 2
    Visible = False
    object Image3: TImage
      Left = 0
      Top = 0
      Width = 137
      Height = 64
      Align = alClient
      Stretch = True
    end
    object Panel6: TPanel
      Left = 0
      Top = 64
      Width = 137
      Height = 17
      Align = alBottom
      TabOrder = 0
      object Label3: TLabel
        Left = 5
        Top = 2
        Width = 26
        Height = 12
        AutoSize = False
        Caption = 'Click'
        Color = clLime
        Font.Charset = SHIFTJIS_CHARSET
        Font.Color = clWindowText
        Font.Height = -12
        Font.Name = 'ＭＳ Ｐゴシック'
        Font.Style = []
        ParentColor = False
        ParentFont = False
        OnMouseDown = Label3MouseDown
      end
    end
  end
  object Panel7: TPanel
    Left = 280
    Top = 168
    Width = 137
    Height = 105
    BevelOuter = bvNone
    TabOrder = 3
    Visible = False
    object Image4: TImage
      Left = 0
      Top = 0
      Width = 137
      Height = 88
      Align = alClient
      Stretch = True
    end
    object Panel8: TPanel
      Left = 0
      Top = 88
      Width = 137
      Height = 17
      Align = alBottom
      TabOrder = 0
      object Label4: TLabel
        Left = 5
        Top = 2
        Width = 26
        Height = 12
        AutoSize = False
        Caption = 'Click'
        Color = clRed
        Font.Charset = SHIFTJIS_CHARSET
        Font.Color = clWindowText
        Font.Height = -12
        Font.Name = 'ＭＳ Ｐゴシック'
        Font.Style = []
        ParentColor = False
        ParentFont = False
        OnMouseDown = Label4MouseDown
      end
    end
  end
  object Timer1: TTimer
    Enabled = False
    Interval = 50
    OnTimer = Timer1Timer
  end
end
)layout";

}  // namespace board
