; Example firmware for a PIC16F628A: multiplies by 10 and divides by 3 (rounded down, as C's
; x / 3) with routines written by tarvek-asm (see Makefile) and keeps the results in RAM, where
; a debugger or gpsim can read them.
;
; A generated routine is straight-line code with no labels of its own, so it becomes a
; subroutine by putting its include file between a label and a return.

	processor	16f628a
	#include	<p16f628a.inc>
	__config	_INTOSC_OSC_NOCLKOUT & _WDT_OFF & _PWRTE_ON & _LVP_OFF & _BOREN_OFF

; The results, at the start of bank 0's RAM. The default radix is hexadecimal, hence D'12'.
	cblock	0x20
	TEN_RESULT:D'12'	; x * 10 for the four inputs below, 3 bytes each, low byte first
	THIRD_RESULT:D'6'	; floor(x / 3) for the six inputs below
	endc
; Each include file declares the registers its routine uses in a cblock without an address,
; which gpasm places right after the previous block: after the results, then after the
; registers of the include before it.

; Multiplies the 16-bit value X by 10 and copies the 3-byte product to DEST.
times10_of	macro	x, dest
	movlw	low (x)
	movwf	PROD0
	movlw	high (x)
	movwf	PROD1
	call	times10
	movf	PROD0, w
	movwf	dest
	movf	PROD1, w
	movwf	dest + 1
	movf	PROD2, w
	movwf	dest + 2
	endm

; Divides the 8-bit value X by 3, rounding down, and copies the quotient to DEST.
third_of	macro	x, dest
	movlw	x
	movwf	QUOT0
	call	third
	movf	QUOT0, w
	movwf	dest
	endm

	org	0
	goto	main

; PROD0..PROD2 = PROD0..PROD1 * 10
times10
	#include	"times10.inc"
	return

; QUOT0 = floor(QUOT0 / 3)
third
	#include	"third.inc"
	return

main
	times10_of	D'0', TEN_RESULT
	times10_of	D'1', TEN_RESULT + 3
	times10_of	D'1234', TEN_RESULT + 6
	times10_of	D'65535', TEN_RESULT + 9
	third_of	D'0', THIRD_RESULT
	third_of	D'2', THIRD_RESULT + 1
	third_of	D'3', THIRD_RESULT + 2
	third_of	D'100', THIRD_RESULT + 3
	third_of	D'254', THIRD_RESULT + 4
	third_of	D'255', THIRD_RESULT + 5
finished
	goto	finished

	end
