// A lens surface of the size the built-in ones have (90 controls on the page, 14 on the
// floating dialog, four registers, eight relations), written for the page-opening
// benchmark; the built-in surface of key 0x400 takes its place once the page selector
// opens lens pages.
#include "page_open/LensBenchSurface.h"

namespace pagebench {

const char* const kLensBenchSurface = R"SURFACE(<?xml version="1.0" encoding="UTF-8"?>
<Tamsiro_Device>
  <registerlist>
    <register><address>0</address><bitlength>8</bitlength></register>
    <register><address>1</address><bitlength>8</bitlength></register>
    <register><address>2</address><bitlength>8</bitlength></register>
    <register><address>3</address><bitlength>8</bitlength></register>
  </registerlist>
  <relationlist>
    <relation><relation_contents>enable_state</relation_contents><owner_id>1</owner_id><destination_id>100</destination_id><datalist><data>1</data><data>0</data></datalist></relation>
    <relation><relation_contents>out_freq</relation_contents><owner_id>2</owner_id><destination_id>2</destination_id><datalist><data>0</data><data>1</data><data>2</data></datalist></relation>
    <relation><relation_contents>out_freq</relation_contents><owner_id>3</owner_id><destination_id>3</destination_id><datalist><data>1</data><data>3</data><data>4</data></datalist></relation>
    <relation><relation_contents>hide_window</relation_contents><owner_id>17</owner_id><parentname>standard</parentname></relation>
    <relation><relation_contents>show_window</relation_contents><owner_id>99</owner_id><parentname>floating</parentname></relation>
    <relation><relation_contents>hide_window</relation_contents><owner_id>17</owner_id><parentname>floating</parentname></relation>
    <relation><relation_contents>stop_freq</relation_contents><owner_id>21</owner_id><destination_id>21</destination_id><datalist><data>0</data></datalist></relation>
    <relation><relation_contents>stop_freq</relation_contents><owner_id>22</owner_id><destination_id>22</destination_id><datalist><data>1</data></datalist></relation>
  </relationlist>
  <controls parent="standard">
    <control><software><gui_type>frame</gui_type><gui_pos>8, 8</gui_pos><gui_size>202, 50</gui_size><gui_description>Chip Enable / Disable</gui_description></software></control>
    <control><software><gui_type>label</gui_type><gui_pos>16, 30</gui_pos><gui_size>80, 16</gui_size><gui_description>Chip Enable</gui_description></software></control>
    <control><software><gui_type>check</gui_type><gui_pos>100, 26</gui_pos><gui_size>100, 24</gui_size><gui_description>Enable,Disable</gui_description></software>
      <hardware><device_target>gpio</device_target><device_number>31</device_number><device_io_type>output</device_io_type></hardware>
      <data><container_id>0</container_id><relation_id>1</relation_id></data></control>
    <control><software><gui_type>frame</gui_type><gui_pos>220, 8</gui_pos><gui_size>180, 50</gui_size><gui_description>Photo Sensor Driving</gui_description></software></control>
    <control><software><gui_type>label</gui_type><gui_pos>228, 30</gui_pos><gui_size>40, 16</gui_size><gui_description>Drive</gui_description></software></control>
    <control><software><gui_type>check</gui_type><gui_pos>270, 26</gui_pos><gui_size>60, 24</gui_size><gui_description>On, Off</gui_description></software>
      <hardware><device_target>i2c</device_target><register_address>3</register_address></hardware>
      <data><container_id>13</container_id><lsbbit>2</lsbbit><bitlength>1</bitlength></data></control>
    <control><software><gui_type>button</gui_type><gui_pos>336, 26</gui_pos><gui_size>56, 24</gui_size><gui_description>Exit</gui_description></software>
      <data><relation_id>17</relation_id></data></control>
    <control><software><gui_type>frame</gui_type><gui_pos>8, 60</gui_pos><gui_size>250, 392</gui_size><gui_description>for 1 - 2 ch</gui_description></software></control>
    <control><software><gui_type>label</gui_type><gui_pos>16, 78</gui_pos><gui_size>230, 16</gui_size><gui_description>Current Reference Voltage</gui_description></software></control>
    <control><software><gui_type>slider</gui_type><gui_pos>16, 96</gui_pos><gui_size>150, 24</gui_size><gui_parameter>0, 15</gui_parameter></software>
      <hardware><device_target>i2c</device_target><register_address>0</register_address></hardware>
      <data><container_id>10</container_id><lsbbit>0</lsbbit><bitlength>4</bitlength></data></control>
    <control><software><gui_type>edit</gui_type><gui_pos>170, 96</gui_pos><gui_size>50, 22</gui_size><gui_format>volt</gui_format><algorithm_s>(%p + 5 * 1) / 100</algorithm_s><algorithm_r>(%p + 5 * 1) / 100</algorithm_r></software>
      <data><container_id>10</container_id><lsbbit>0</lsbbit><bitlength>4</bitlength></data></control>
    <control><software><gui_type>label</gui_type><gui_pos>224, 99</gui_pos><gui_size>20, 16</gui_size><gui_description>V</gui_description></software></control>
    <control><software><gui_type>label</gui_type><gui_pos>16, 129</gui_pos><gui_size>126, 16</gui_size><gui_description>Excitation Direction</gui_description></software></control>
    <control><software><gui_type>combobox</gui_type><gui_pos>146, 126</gui_pos><gui_size>104, 100</gui_size><gui_description>CW,CCW</gui_description></software>
      <hardware><device_target>i2c</device_target><register_address>0</register_address></hardware>
      <data><container_id>10</container_id><lsbbit>4</lsbbit><bitlength>1</bitlength><relation_id>101</relation_id></data></control>
    <control><software><gui_type>label</gui_type><gui_pos>16, 155</gui_pos><gui_size>126, 16</gui_size><gui_description>Step Hold</gui_description></software></control>
    <control><software><gui_type>combobox</gui_type><gui_pos>146, 152</gui_pos><gui_size>104, 100</gui_size><gui_description>Clear,Hold</gui_description></software>
      <hardware><device_target>i2c</device_target><register_address>0</register_address></hardware>
      <data><container_id>10</container_id><lsbbit>5</lsbbit><bitlength>1</bitlength></data></control>
    <control><software><gui_type>label</gui_type><gui_pos>16, 181</gui_pos><gui_size>126, 16</gui_size><gui_description>Counter Reset</gui_description></software></control>
    <control><software><gui_type>combobox</gui_type><gui_pos>146, 178</gui_pos><gui_size>104, 100</gui_size><gui_description>Reset,Clear</gui_description></software>
      <hardware><device_target>i2c</device_target><register_address>0</register_address></hardware>
      <data><container_id>10</container_id><lsbbit>6</lsbbit><bitlength>1</bitlength></data></control>
    <control><software><gui_type>label</gui_type><gui_pos>16, 207</gui_pos><gui_size>126, 16</gui_size><gui_description>Output Enable</gui_description></software></control>
    <control><software><gui_type>check</gui_type><gui_pos>146, 204</gui_pos><gui_size>104, 22</gui_size><gui_description>On,Off</gui_description></software>
      <hardware><device_target>i2c</device_target><register_address>0</register_address></hardware>
      <data><container_id>10</container_id><lsbbit>7</lsbbit><bitlength>1</bitlength></data></control>
    <control><software><gui_type>label</gui_type><gui_pos>16, 233</gui_pos><gui_size>126, 16</gui_size><gui_description>CLK1 Frequency Division Ratio</gui_description></software></control>
    <control><software><gui_type>combobox</gui_type><gui_pos>146, 230</gui_pos><gui_size>104, 100</gui_size><gui_description>Undivided,1 / 2,1 / 4,1 / 8</gui_description></software>
      <hardware><device_target>i2c</device_target><register_address>2</register_address></hardware>
      <data><container_id>12</container_id><lsbbit>0</lsbbit><bitlength>2</bitlength></data></control>
    <control><software><gui_type>label</gui_type><gui_pos>16, 259</gui_pos><gui_size>126, 16</gui_size><gui_description>Excitation Mode</gui_description></software></control>
    <control><software><gui_type>combobox</gui_type><gui_pos>146, 256</gui_pos><gui_size>104, 100</gui_size><gui_description>Micro Step,Half Step,Half (Full Torque),Full Step</gui_description></software>
      <hardware><device_target>i2c</device_target><register_address>2</register_address></hardware>
      <data><container_id>12</container_id><lsbbit>4</lsbbit><bitlength>2</bitlength></data></control>
    <control><software><gui_type>label</gui_type><gui_pos>16, 285</gui_pos><gui_size>126, 16</gui_size><gui_description>CLK1 Frequency</gui_description></software></control>
    <control><software><gui_type>edit</gui_type><gui_pos>146, 282</gui_pos><gui_size>70, 22</gui_size><gui_format>frequency</gui_format></software>
      <data><container_id>1</container_id><lsbbit>0</lsbbit><bitlength>16</bitlength></data></control>
    <control><software><gui_type>label</gui_type><gui_pos>220, 285</gui_pos><gui_size>24, 16</gui_size><gui_description>Hz</gui_description></software></control>
    <control><software><gui_type>slider</gui_type><gui_pos>16, 308</gui_pos><gui_size>234, 24</gui_size><gui_parameter>1, 51</gui_parameter></software>
      <data><container_id>1</container_id><lsbbit>0</lsbbit><bitlength>16</bitlength></data></control>
    <control><software><gui_type>label</gui_type><gui_pos>16, 339</gui_pos><gui_size>126, 16</gui_size><gui_description>Pulse Count</gui_description></software></control>
    <control><software><gui_type>edit</gui_type><gui_pos>146, 336</gui_pos><gui_size>70, 22</gui_size><gui_format>pulse</gui_format></software>
      <data><container_id>2</container_id><lsbbit>0</lsbbit><bitlength>16</bitlength></data></control>
    <control><software><gui_type>slider</gui_type><gui_pos>16, 362</gui_pos><gui_size>234, 24</gui_size><gui_parameter>0, 32767</gui_parameter></software>
      <data><container_id>2</container_id><lsbbit>0</lsbbit><bitlength>16</bitlength></data></control>
    <control><software><gui_type>button</gui_type><gui_pos>16, 392</gui_pos><gui_size>130, 24</gui_size><gui_description>Set Freq / Count</gui_description></software>
      <data><container_id>7</container_id><relation_id>2</relation_id></data></control>
    <control><software><gui_type>label</gui_type><gui_pos>16, 425</gui_pos><gui_size>126, 16</gui_size><gui_description>FR1 Output</gui_description></software></control>
    <control><software><gui_type>check</gui_type><gui_pos>146, 422</gui_pos><gui_size>104, 22</gui_size><gui_description>High,Low</gui_description></software>
      <hardware><device_target>gpio</device_target><device_number>29</device_number><device_io_type>output</device_io_type></hardware></control>
    <control><software><gui_type>frame</gui_type><gui_pos>268, 60</gui_pos><gui_size>250, 392</gui_size><gui_description>for 3 - 4 ch</gui_description></software></control>
    <control><software><gui_type>label</gui_type><gui_pos>276, 78</gui_pos><gui_size>230, 16</gui_size><gui_description>Current Reference Voltage</gui_description></software></control>
    <control><software><gui_type>slider</gui_type><gui_pos>276, 96</gui_pos><gui_size>150, 24</gui_size><gui_parameter>0, 15</gui_parameter></software>
      <hardware><device_target>i2c</device_target><register_address>1</register_address></hardware>
      <data><container_id>11</container_id><lsbbit>0</lsbbit><bitlength>4</bitlength></data></control>
    <control><software><gui_type>edit</gui_type><gui_pos>430, 96</gui_pos><gui_size>50, 22</gui_size><gui_format>volt</gui_format><algorithm_s>(%p + 5 * 1) / 100</algorithm_s><algorithm_r>(%p + 5 * 1) / 100</algorithm_r></software>
      <data><container_id>11</container_id><lsbbit>0</lsbbit><bitlength>4</bitlength></data></control>
    <control><software><gui_type>label</gui_type><gui_pos>484, 99</gui_pos><gui_size>20, 16</gui_size><gui_description>V</gui_description></software></control>
    <control><software><gui_type>label</gui_type><gui_pos>276, 129</gui_pos><gui_size>126, 16</gui_size><gui_description>Excitation Direction</gui_description></software></control>
    <control><software><gui_type>combobox</gui_type><gui_pos>406, 126</gui_pos><gui_size>104, 100</gui_size><gui_description>CW,CCW</gui_description></software>
      <hardware><device_target>i2c</device_target><register_address>1</register_address></hardware>
      <data><container_id>11</container_id><lsbbit>4</lsbbit><bitlength>1</bitlength><relation_id>102</relation_id></data></control>
    <control><software><gui_type>label</gui_type><gui_pos>276, 155</gui_pos><gui_size>126, 16</gui_size><gui_description>Step Hold</gui_description></software></control>
    <control><software><gui_type>combobox</gui_type><gui_pos>406, 152</gui_pos><gui_size>104, 100</gui_size><gui_description>Clear,Hold</gui_description></software>
      <hardware><device_target>i2c</device_target><register_address>1</register_address></hardware>
      <data><container_id>11</container_id><lsbbit>5</lsbbit><bitlength>1</bitlength></data></control>
    <control><software><gui_type>label</gui_type><gui_pos>276, 181</gui_pos><gui_size>126, 16</gui_size><gui_description>Counter Reset</gui_description></software></control>
    <control><software><gui_type>combobox</gui_type><gui_pos>406, 178</gui_pos><gui_size>104, 100</gui_size><gui_description>Reset,Clear</gui_description></software>
      <hardware><device_target>i2c</device_target><register_address>1</register_address></hardware>
      <data><container_id>11</container_id><lsbbit>6</lsbbit><bitlength>1</bitlength></data></control>
    <control><software><gui_type>label</gui_type><gui_pos>276, 207</gui_pos><gui_size>126, 16</gui_size><gui_description>Output Enable</gui_description></software></control>
    <control><software><gui_type>check</gui_type><gui_pos>406, 204</gui_pos><gui_size>104, 22</gui_size><gui_description>On,Off</gui_description></software>
      <hardware><device_target>i2c</device_target><register_address>1</register_address></hardware>
      <data><container_id>11</container_id><lsbbit>7</lsbbit><bitlength>1</bitlength></data></control>
    <control><software><gui_type>label</gui_type><gui_pos>276, 233</gui_pos><gui_size>126, 16</gui_size><gui_description>CLK2 Frequency Division Ratio</gui_description></software></control>
    <control><software><gui_type>combobox</gui_type><gui_pos>406, 230</gui_pos><gui_size>104, 100</gui_size><gui_description>Undivided,1 / 2,1 / 4,1 / 8</gui_description></software>
      <hardware><device_target>i2c</device_target><register_address>2</register_address></hardware>
      <data><container_id>12</container_id><lsbbit>2</lsbbit><bitlength>2</bitlength></data></control>
    <control><software><gui_type>label</gui_type><gui_pos>276, 259</gui_pos><gui_size>126, 16</gui_size><gui_description>Excitation Mode</gui_description></software></control>
    <control><software><gui_type>combobox</gui_type><gui_pos>406, 256</gui_pos><gui_size>104, 100</gui_size><gui_description>Micro Step,Half Step,Half (Full Torque),Full Step</gui_description></software>
      <hardware><device_target>i2c</device_target><register_address>2</register_address></hardware>
      <data><container_id>12</container_id><lsbbit>6</lsbbit><bitlength>2</bitlength></data></control>
    <control><software><gui_type>label</gui_type><gui_pos>276, 285</gui_pos><gui_size>126, 16</gui_size><gui_description>CLK2 Frequency</gui_description></software></control>
    <control><software><gui_type>edit</gui_type><gui_pos>406, 282</gui_pos><gui_size>70, 22</gui_size><gui_format>frequency</gui_format></software>
      <data><container_id>3</container_id><lsbbit>0</lsbbit><bitlength>16</bitlength></data></control>
    <control><software><gui_type>label</gui_type><gui_pos>480, 285</gui_pos><gui_size>24, 16</gui_size><gui_description>Hz</gui_description></software></control>
    <control><software><gui_type>slider</gui_type><gui_pos>276, 308</gui_pos><gui_size>234, 24</gui_size><gui_parameter>1, 51</gui_parameter></software>
      <data><container_id>3</container_id><lsbbit>0</lsbbit><bitlength>16</bitlength></data></control>
    <control><software><gui_type>label</gui_type><gui_pos>276, 339</gui_pos><gui_size>126, 16</gui_size><gui_description>Pulse Count</gui_description></software></control>
    <control><software><gui_type>edit</gui_type><gui_pos>406, 336</gui_pos><gui_size>70, 22</gui_size><gui_format>pulse</gui_format></software>
      <data><container_id>4</container_id><lsbbit>0</lsbbit><bitlength>16</bitlength></data></control>
    <control><software><gui_type>slider</gui_type><gui_pos>276, 362</gui_pos><gui_size>234, 24</gui_size><gui_parameter>0, 32767</gui_parameter></software>
      <data><container_id>4</container_id><lsbbit>0</lsbbit><bitlength>16</bitlength></data></control>
    <control><software><gui_type>button</gui_type><gui_pos>276, 392</gui_pos><gui_size>130, 24</gui_size><gui_description>Set Freq / Count</gui_description></software>
      <data><container_id>8</container_id><relation_id>3</relation_id></data></control>
    <control><software><gui_type>label</gui_type><gui_pos>276, 425</gui_pos><gui_size>126, 16</gui_size><gui_description>FR2 Output</gui_description></software></control>
    <control><software><gui_type>check</gui_type><gui_pos>406, 422</gui_pos><gui_size>104, 22</gui_size><gui_description>High,Low</gui_description></software>
      <hardware><device_target>gpio</device_target><device_number>30</device_number><device_io_type>output</device_io_type></hardware></control>
    <control><software><gui_type>button</gui_type><gui_pos>150, 392</gui_pos><gui_size>100, 24</gui_size><gui_description>STOP</gui_description></software>
      <data><container_id>21</container_id><relation_id>21</relation_id></data></control>
    <control><software><gui_type>button</gui_type><gui_pos>410, 392</gui_pos><gui_size>100, 24</gui_size><gui_description>STOP</gui_description></software>
      <data><container_id>22</container_id><relation_id>22</relation_id></data></control>
    <control><software><gui_type>frame</gui_type><gui_pos>8, 455</gui_pos><gui_size>250, 45</gui_size><gui_description>for each ch</gui_description></software></control>
    <control><software><gui_type>label</gui_type><gui_pos>16, 475</gui_pos><gui_size>120, 16</gui_size><gui_description>Chopping frequency</gui_description></software></control>
    <control><software><gui_type>combobox</gui_type><gui_pos>140, 472</gui_pos><gui_size>110, 100</gui_size><gui_description>400kHz,200kHz,600kHz,300kHz</gui_description></software>
      <hardware><device_target>i2c</device_target><register_address>3</register_address></hardware>
      <data><container_id>13</container_id><lsbbit>0</lsbbit><bitlength>2</bitlength></data></control>
    <control><software><gui_type>frame</gui_type><gui_pos>270, 455</gui_pos><gui_size>250, 70</gui_size><gui_description>MO Setting</gui_description></software></control>
    <control><software><gui_type>label</gui_type><gui_pos>278, 475</gui_pos><gui_size>120, 16</gui_size><gui_description>MO Output Channel</gui_description></software></control>
    <control><software><gui_type>combobox</gui_type><gui_pos>400, 472</gui_pos><gui_size>110, 100</gui_size><gui_description>1 - 2 ch,3 - 4 ch</gui_description></software>
      <hardware><device_target>i2c</device_target><register_address>3</register_address></hardware>
      <data><container_id>13</container_id><lsbbit>3</lsbbit><bitlength>1</bitlength></data></control>
    <control><software><gui_type>label</gui_type><gui_pos>278, 500</gui_pos><gui_size>120, 16</gui_size><gui_description>MO Output Position</gui_description></software></control>
    <control><software><gui_type>combobox</gui_type><gui_pos>400, 497</gui_pos><gui_size>110, 100</gui_size><gui_description>Initial Pos,Half Step Pos</gui_description></software>
      <hardware><device_target>i2c</device_target><register_address>3</register_address></hardware>
      <data><container_id>13</container_id><lsbbit>4</lsbbit><bitlength>1</bitlength></data></control>
    <control><software><gui_type>frame</gui_type><gui_pos>8, 530</gui_pos><gui_size>513, 90</gui_size><gui_description>I2C Data Send</gui_description></software></control>
    <control><software><gui_type>radio</gui_type><gui_pos>16, 548</gui_pos><gui_size>96, 20</gui_size><gui_description>All(00h - 03h)</gui_description></software>
      <hardware><device_target>i2c</device_target><register_address>-2</register_address><i2c_startadrs>0</i2c_startadrs><i2c_endadrs>3</i2c_endadrs></hardware>
      <data><container_id>20</container_id><fixed_value>0</fixed_value><radio_group>1</radio_group></data></control>
    <control><software><gui_type>radio</gui_type><gui_pos>116, 548</gui_pos><gui_size>96, 20</gui_size><gui_description>00h</gui_description></software>
      <hardware><device_target>i2c</device_target><register_address>-2</register_address><i2c_startadrs>0</i2c_startadrs><i2c_endadrs>0</i2c_endadrs></hardware>
      <data><container_id>20</container_id><fixed_value>1</fixed_value></data></control>
    <control><software><gui_type>radio</gui_type><gui_pos>216, 548</gui_pos><gui_size>96, 20</gui_size><gui_description>01h</gui_description></software>
      <hardware><device_target>i2c</device_target><register_address>-2</register_address><i2c_startadrs>1</i2c_startadrs><i2c_endadrs>1</i2c_endadrs></hardware>
      <data><container_id>20</container_id><fixed_value>2</fixed_value></data></control>
    <control><software><gui_type>radio</gui_type><gui_pos>316, 548</gui_pos><gui_size>96, 20</gui_size><gui_description>02h</gui_description></software>
      <hardware><device_target>i2c</device_target><register_address>-2</register_address><i2c_startadrs>2</i2c_startadrs><i2c_endadrs>2</i2c_endadrs></hardware>
      <data><container_id>20</container_id><fixed_value>3</fixed_value></data></control>
    <control><software><gui_type>radio</gui_type><gui_pos>416, 548</gui_pos><gui_size>96, 20</gui_size><gui_description>03h</gui_description></software>
      <hardware><device_target>i2c</device_target><register_address>-2</register_address><i2c_startadrs>3</i2c_startadrs><i2c_endadrs>3</i2c_endadrs></hardware>
      <data><container_id>20</container_id><fixed_value>4</fixed_value></data></control>
    <control><software><gui_type>label</gui_type><gui_pos>16, 572</gui_pos><gui_size>64, 16</gui_size><gui_description>00h</gui_description><gui_format>binary</gui_format></software></control>
    <control><software><gui_type>label</gui_type><gui_pos>16, 590</gui_pos><gui_size>64, 16</gui_size><gui_format>binary</gui_format></software>
      <data><container_id>10</container_id><lsbbit>0</lsbbit><bitlength>8</bitlength></data></control>
    <control><software><gui_type>label</gui_type><gui_pos>86, 572</gui_pos><gui_size>64, 16</gui_size><gui_description>01h</gui_description><gui_format>binary</gui_format></software></control>
    <control><software><gui_type>label</gui_type><gui_pos>86, 590</gui_pos><gui_size>64, 16</gui_size><gui_format>binary</gui_format></software>
      <data><container_id>11</container_id><lsbbit>0</lsbbit><bitlength>8</bitlength></data></control>
    <control><software><gui_type>label</gui_type><gui_pos>156, 572</gui_pos><gui_size>64, 16</gui_size><gui_description>02h</gui_description><gui_format>binary</gui_format></software></control>
    <control><software><gui_type>label</gui_type><gui_pos>156, 590</gui_pos><gui_size>64, 16</gui_size><gui_format>binary</gui_format></software>
      <data><container_id>12</container_id><lsbbit>0</lsbbit><bitlength>8</bitlength></data></control>
    <control><software><gui_type>label</gui_type><gui_pos>226, 572</gui_pos><gui_size>64, 16</gui_size><gui_description>03h</gui_description><gui_format>binary</gui_format></software></control>
    <control><software><gui_type>label</gui_type><gui_pos>226, 590</gui_pos><gui_size>64, 16</gui_size><gui_format>binary</gui_format></software>
      <data><container_id>13</container_id><lsbbit>0</lsbbit><bitlength>8</bitlength></data></control>
    <control><software><gui_type>label</gui_type><gui_pos>300, 572</gui_pos><gui_size>70, 16</gui_size><gui_description>Slave Adrs</gui_description></software></control>
    <control><software><gui_type>edit</gui_type><gui_pos>300, 590</gui_pos><gui_size>90, 22</gui_size><gui_description>01110010</gui_description><gui_format>binary</gui_format></software>
      <hardware><device_target>i2c</device_target><register_address>-1</register_address></hardware>
      <data><container_id>6</container_id></data></control>
    <control><software><gui_type>button</gui_type><gui_pos>400, 588</gui_pos><gui_size>100, 24</gui_size><gui_description>Send</gui_description></software>
      <hardware><device_target>i2c</device_target><transfer>1</transfer></hardware></control>
    <control><software><gui_type>label</gui_type></software>
      <hardware><device_target>i2c</device_target><register_address>-3</register_address><i2c_startadrs>0</i2c_startadrs><i2c_endadrs>6</i2c_endadrs></hardware>
      <data><container_id>14</container_id><bitlength>1</bitlength><fixed_value>1</fixed_value></data></control>
    <control><software><gui_type>label</gui_type></software>
      <hardware><device_target>i2c</device_target><register_address>-3</register_address><i2c_startadrs>1</i2c_startadrs><i2c_endadrs>6</i2c_endadrs></hardware>
      <data><container_id>15</container_id><bitlength>1</bitlength><fixed_value>1</fixed_value></data></control>
  </controls>
  <controls parent="floating">
    <control><software><gui_type>frame</gui_type><gui_pos>8, 8</gui_pos><gui_size>320, 215</gui_size><gui_description>Sequence</gui_description></software></control>
    <control><software><gui_type>label</gui_type><gui_pos>16, 30</gui_pos><gui_size>130, 16</gui_size><gui_description>Drive Channel</gui_description></software></control>
    <control><software><gui_type>combobox</gui_type><gui_pos>150, 26</gui_pos><gui_size>110, 100</gui_size><gui_description>1 - 2 Ch,
3 - 4 Ch</gui_description></software>
      <data><container_id>100</container_id><relation_id>100</relation_id></data></control>
    <control><software><gui_type>label</gui_type><gui_pos>16, 58</gui_pos><gui_size>130, 16</gui_size><gui_description>Start CLK Frequency</gui_description></software></control>
    <control><software><gui_type>edit</gui_type><gui_pos>150, 54</gui_pos><gui_size>70, 22</gui_size><gui_format>frequency</gui_format><algorithm_s>%p * 100</algorithm_s><algorithm_r>%p * 100</algorithm_r></software>
      <data><container_id>101</container_id><lsbbit>0</lsbbit><bitlength>16</bitlength></data></control>
    <control><software><gui_type>label</gui_type><gui_pos>224, 58</gui_pos><gui_size>30, 16</gui_size><gui_description>pps</gui_description></software></control>
    <control><software><gui_type>slider</gui_type><gui_pos>16, 80</gui_pos><gui_size>300, 24</gui_size><gui_parameter>1, 120</gui_parameter></software>
      <data><container_id>101</container_id><lsbbit>0</lsbbit><bitlength>16</bitlength></data></control>
    <control><software><gui_type>label</gui_type><gui_pos>16, 112</gui_pos><gui_size>130, 16</gui_size><gui_description>Top CLK Frequency</gui_description></software></control>
    <control><software><gui_type>edit</gui_type><gui_pos>150, 108</gui_pos><gui_size>70, 22</gui_size><gui_format>frequency</gui_format><algorithm_s>%p * 100</algorithm_s><algorithm_r>%p * 100</algorithm_r></software>
      <data><container_id>102</container_id><lsbbit>0</lsbbit><bitlength>16</bitlength></data></control>
    <control><software><gui_type>slider</gui_type><gui_pos>16, 134</gui_pos><gui_size>300, 24</gui_size><gui_parameter>1, 120</gui_parameter></software>
      <data><container_id>102</container_id><lsbbit>0</lsbbit><bitlength>16</bitlength></data></control>
    <control><software><gui_type>label</gui_type><gui_pos>224, 112</gui_pos><gui_size>30, 16</gui_size><gui_description>pps</gui_description></software></control>
    <control><software><gui_type>label</gui_type><gui_pos>16, 166</gui_pos><gui_size>130, 16</gui_size><gui_description>Start-Top Time</gui_description></software></control>
    <control><software><gui_type>combobox</gui_type><gui_pos>150, 162</gui_pos><gui_size>110, 100</gui_size><gui_description>0sec,
0.5sec,
1sec,
1.5sec,
2sec,
2.5sec,
3sec,
3.5sec</gui_description></software>
      <data><container_id>103</container_id></data></control>
    <control><software><gui_type>check</gui_type><gui_pos>16, 190</gui_pos><gui_size>120, 24</gui_size><gui_description>Send, Stop</gui_description></software>
      <hardware><device_target>lens_sequence</device_target><device_number>3</device_number><transfer>0</transfer></hardware>
      <data><container_id>104</container_id><relation_id>1</relation_id></data></control>
  </controls>
</Tamsiro_Device>
)SURFACE";

}  // namespace pagebench
